// quorlane-export with the batch's way of running chosen first, for the identity test:
//   export_tuned --one-by-one | --encoders=N   EXPORTER-ARGUMENTS...
#include <windows.h>

#include <string>
#include <vector>

#include "exporter/batch.h"
#include "exporter/options/arguments.h"
#include "win/utf.h"

namespace quorlane {
namespace {

int ExportTuned() {
    Console console;
    std::vector<std::string> args = CommandLineArguments();
    ExportTuning tuning;
    const std::string encoders = "--encoders=";
    if (!args.empty() && args[0] == "--one-by-one")
        tuning.pipelined = false;
    else if (!args.empty() && args[0].compare(0, encoders.size(), encoders) == 0)
        tuning.encoders = unsigned(std::stoul("0" + args[0].substr(encoders.size())));
    else
        return UsageError(console, "the first argument is --one-by-one or --encoders=N");
    args.erase(args.begin());
    ExportOptions options;
    const std::string error = ParseExportArguments(args, options);
    if (!error.empty()) return UsageError(console, error);
    return ExportAll(options, tuning, console);
}

}  // namespace
}  // namespace quorlane

int wmain() {
    return quorlane::ExportTuned();
}
