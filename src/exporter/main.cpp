// quorlane-export: the main window's picture of each input written to an
// image file, without a window. The command line is read as UTF-16 and
// handed on as UTF-8; see exporter/options/arguments.h for what it takes.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "exporter/batch.h"
#include "exporter/options/arguments.h"
#include "gdi/utf.h"

namespace {

// Set by Ctrl+C or Ctrl+Break, which the system hands to a thread of its own;
// the batch's threads look at it. A control handler takes no argument, so
// this is the program's one global.
std::atomic<bool> stopAsked{false};

BOOL WINAPI AskToStop(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    stopAsked = true;
    return TRUE;  // the run stops by itself, its temporary files removed
}

}  // namespace

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
    SetConsoleCtrlHandler(AskToStop, TRUE);
    return ExportAll(options, ExportTuning(), console, &stopAsked);
}
