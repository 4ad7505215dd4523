// quorlane-export: the main window's picture of each input written to an
// image file, without a window. The command line is read as UTF-16 and
// handed on as UTF-8, and the lists of --inputs as the UTF-8 they hold; see
// exporter/options/arguments.h for what it takes.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/failure.h"
#include "exporter/batch.h"
#include "exporter/options/arguments.h"
#include "exporter/options/movie.h"
#include "win/list_file.h"
#include "win/utf.h"

namespace quorlane {

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

// Whether `path` names a file (not a folder).
bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Utf16(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ffmpeg as --ffmpeg names it, else beside this program, else on the PATH;
// empty when there is none.
std::string FfmpegPath(const std::string& given) {
    std::wstring self(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, &self[0], DWORD(self.size()));
    const std::string program = n > 0 && n < self.size() ? Utf8(self.data(), n) : std::string();
    std::wstring path(32768, L'\0');
    const DWORD m = GetEnvironmentVariableW(L"PATH", &path[0], DWORD(path.size()));
    const std::string folders = m > 0 && m < path.size() ? Utf8(path.data(), m) : std::string();
    return FindFfmpeg(given, FolderOf(program, kSystemPathStyle), folders, IsFile);
}

int Run(Console& console) {
    const std::vector<std::string> args = CommandLineArguments();
    ExportOptions options;
    std::string error = ParseExportArguments(args, options);
    if (options.help) {
        console.Out(ExportUsage());
        return 0;
    }
    if (error.empty() && options.movie != MovieFormat::None) {
        // Before any input is read: a movie needs ffmpeg.
        options.ffmpeg = FfmpegPath(options.ffmpeg);
        if (options.ffmpeg.empty()) error = NeedsFfmpeg(options.pattern);
    }
    if (error.empty()) error = ReadInputLists(options, ReadListBytes);
    if (!error.empty()) return UsageError(console, error);
    SetConsoleCtrlHandler(AskToStop, TRUE);
    return ExportAll(options, ExportTuning(), console, &stopAsked);
}

// The program, for the entry point: no exception leaves it, it is a report
// and status 1.
int ExporterMain() {
    Console console;
    try {
        return Run(console);
    } catch (const std::exception& e) {
        console.Err(std::string(kExporterCommand) + ": cannot go on: " + ExceptionReason(e));
    } catch (...) {
        console.Err(std::string(kExporterCommand) + ": cannot go on: " + kUnknownFailure);
    }
    return 1;
}

}  // namespace

}  // namespace quorlane

int wmain() {
    return quorlane::ExporterMain();
}
