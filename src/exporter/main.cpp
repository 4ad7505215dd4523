// quorlane-export: the main window's picture of each input written to an
// image file, without a window. The command line is read as UTF-16 and
// handed on as UTF-8; see exporter/options/arguments.h for what it takes.
#include <windows.h>

#include <string>
#include <vector>

#include "exporter/batch.h"
#include "exporter/options/arguments.h"
#include "gdi/utf.h"

int main() {
    Console console;
    const std::vector<std::string> args = CommandLineArguments();
    ExportOptions options;
    const std::string error = ParseExportArguments(args, options);
    if (options.help) {
        console.Out(ExportUsage());
        return 0;
    }
    if (!error.empty()) return UsageError(console, error);
    return ExportAll(options, ExportTuning(), console);
}
