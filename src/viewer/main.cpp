// The Quorlane Windows program: start-up and the message loop.
//
// Without an argument it reads "quorlane.dat" and "quorlane.ini" from the
// working directory. An argument names a folder holding both files or a grid
// file with the settings file beside it; with several, this process shows
// the first and starts the program again for each of the others, so that
// every input has a window and a process of its own; a path that cannot
// have one is named in a warning, and the first still opens. With --series
// one window shows all the steps the paths name.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/failure.h"
#include "data/inputs.h"
#include "data/load_result.h"
#include "data/series.h"
#include "probe/probed_load.h"
#include "viewer/main_window.h"
#include "viewer/rules/series_player.h"
#include "viewer/rules/viewer_options.h"
#include "viewer/rules/window_title.h"
#include "viewer/series_files.h"
#include "viewer/series_window.h"
#include "viewer/step_loader.h"
#include "win/series_file_system.h"
#include "win/system_error.h"
#include "win/utf.h"

namespace quorlane {

namespace {

// The options of the watch mode and of the readout, given again to further copies.
const char kWatch[] = "--watch";
const char kProbe[] = "--probe";

// The exit status after a usage box that names a wrong argument.
constexpr int kUsageStatus = 2;

// The start-up failure report: a warning box.
int StartupFailure(const std::string& message, int status) {
    ShowMessage(message, MB_ICONEXCLAMATION);
    return status;
}

// Starts this program again with one path (and --watch and --probe as given); that
// copy reports its own failures. False, with the system's reason, when it
// cannot be started.
bool StartAnotherCopy(const std::string& path, bool watch, bool probe, std::string& reason) {
    // Room for the longest path the system has. CreateProcessW takes no
    // program path of MAX_PATH characters or more, so such a path goes by its
    // short form, where the volume has one.
    std::wstring self(32768, L'\0'), shortName(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, &self[0], DWORD(self.size()));
    if (n == 0 || n >= self.size()) {
        reason = SystemErrorText(
            HRESULT_FROM_WIN32(n == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER));
        return false;
    }
    if (n >= MAX_PATH) {
        const DWORD m = GetShortPathNameW(self.c_str(), &shortName[0], DWORD(shortName.size()));
        if (m > 0 && m < shortName.size()) {
            self.swap(shortName);
            n = m;
        }
    }
    self.resize(n);
    std::wstring commandLine = Utf16(
        QuoteArgument(Utf8(self.c_str())) + (watch ? std::string(" ") + kWatch : std::string()) +
        (probe ? std::string(" ") + kProbe : std::string()) + " " + QuoteArgument(path));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(self.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        reason = SystemErrorText(HRESULT_FROM_WIN32(GetLastError()));
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The main window of a run, destroyed when the run ends however it ends, so
// that it never outlives the application value it shows.
struct MainWindowOfRun {
    HWND hWnd = nullptr;
    ~MainWindowOfRun() {
        if (hWnd != nullptr && IsWindow(hWnd)) DestroyWindow(hWnd);
    }
};

// Runs the message loop until the main window is gone; its exit status.
int MessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// --series: one window for all the steps. The paths are expanded (names
// only) and the first step is loaded before the window is made, at its
// settings' size; a failure of either is the start-up failure report.
int RunSeries(HINSTANCE hInstance, HINSTANCE hPrevInstance, int nCmdShow, ViewerOptions& options) {
    const std::string wrong = ReadPathLists(options, ReadPathListFile);
    if (!wrong.empty()) return StartupFailure(UsageBoxText(wrong), kUsageStatus);
    std::vector<SeriesStep> steps;
    LoadResult r = ExpandSeries(options.paths, SystemSeriesFileSystem(), steps);
    if (!r.ok) return StartupFailure(r.message, 1);
    std::vector<SeriesStep> listed;
    if (options.watch) listed = steps;
    SeriesTuning tuning;
    tuning.cacheBytes = options.cacheBytes;
    tuning.fps = options.fps;
    Application app(hInstance);
    auto player = std::make_unique<SeriesPlayer>(std::move(steps), tuning);
    StepSettings settings;
    // The first step's load; an expansion that succeeds gives at least one step.
    const std::optional<StepLoad> first = player->NextLoad();
    if (!first) return StartupFailure(kNoGridFileMatches, 1);
    auto step = std::make_shared<LoadedStep>();
    uint64_t bytes = 0;
    r = LoadStep(first->files, app.pool, settings, nullptr, nullptr, *step, bytes);
    if (!r.ok) return StartupFailure(r.message, kLoadFailedStatus);
    player->Loaded(first->id, std::move(step), bytes, SeriesClock());
    app.painter = std::make_unique<FieldRowPainter>(settings.Shown());  // the window's size
    app.title = player->Title();

    if (!hPrevInstance && !RegisterMainWindowClass(hInstance))
        return StartupFailure("Cannot create the main window", 1);
    MainWindowOfRun window;
    window.hWnd = CreateMainWindow(app, app.title, true);
    if (!window.hWnd) return StartupFailure("Cannot create the main window", 1);
    app.series = std::make_unique<SeriesWindow>(window.hWnd, hInstance, std::move(player),
                                                std::move(settings), options.watch,
                                                std::move(options.paths), std::move(listed));
    if (options.probe) {
        const DisplaySettings& shown = app.ShownPainter().Settings();
        if (!AddProbeBar(app, window.hWnd, RangeOf(app.ShownGrid(), shown, app.pool)))
            return StartupFailure("Cannot create the status bar", 1);
    }
    ShowWindow(window.hWnd, nCmdShow);
    return MessageLoop();
}

int Run(HINSTANCE hInstance, HINSTANCE hPrevInstance, int nCmdShow) {
    ViewerOptions options;
    const std::string wrong =
        ParseViewerArguments(CommandLineArguments(), PhysicalMemoryBytes(), options);
    if (options.help) {
        ShowMessage(ViewerUsage(), MB_ICONINFORMATION);
        return 0;
    }
    if (!wrong.empty()) return StartupFailure(UsageBoxText(wrong), kUsageStatus);
    if (options.series) return RunSeries(hInstance, hPrevInstance, nCmdShow, options);
    const std::vector<std::string>& args = options.paths;
    const bool watch = options.watch, probe = options.probe;
    // Every further path gets a process of its own; those that cannot have
    // one are named in one warning before this process shows the first.
    std::string failures;
    for (size_t k = 1; k < args.size(); ++k) {
        std::string reason;
        if (StartAnotherCopy(args[k], watch, probe, reason)) continue;
        if (!failures.empty()) failures += "\n";
        failures += "Cannot open a window for \"" + args[k] + "\": " + reason;
    }
    if (!failures.empty()) ShowMessage(failures, MB_ICONEXCLAMATION);

    // The application value lives as long as the program: the main window
    // holds a pointer to it and the message loop runs inside this function.
    Application app(hInstance);
    InputFiles inputs = WorkingDirectoryInputs();
    LoadResult r = args.empty() ? LoadOk() : ResolveArgument(args[0], inputs);
    // The watch mode compares later stamps with those from before the load.
    const InputStamps loaded = watch && r.ok ? ReadStamps(inputs) : InputStamps();
    DisplaySettings settings;
    FieldRange range;  // with --probe, gathered while the grid loads
    if (r.ok)
        r = probe ? LoadInputsWithRange(inputs, app.pool, app.grid, settings, range)
                  : LoadInputs(inputs, app.pool, app.grid, settings);
    if (!r.ok) return StartupFailure(r.message, kLoadFailedStatus);
    app.painter = std::make_unique<FieldRowPainter>(settings);
    app.title = WindowTitle(inputs);

    if (!hPrevInstance && !RegisterMainWindowClass(hInstance))
        return StartupFailure("Cannot create the main window", 1);
    // With an argument the title names the input, and a window that would
    // cover another of this program's exactly moves aside.
    MainWindowOfRun window;
    window.hWnd = args.empty() ? CreateMainWindow(app) : CreateMainWindow(app, app.title, true);
    if (!window.hWnd) return StartupFailure("Cannot create the main window", 1);
    if (probe && !AddProbeBar(app, window.hWnd, range))
        return StartupFailure("Cannot create the status bar", 1);
    if (watch)
        app.watcher = std::make_unique<FileWatcher>(window.hWnd, inputs, loaded, app.Settings());
    ShowWindow(window.hWnd, nCmdShow);
    return MessageLoop();
}

// The program, for the entry point: no exception leaves it, it is a report
// and status 1.
int ViewerMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, int nCmdShow) {
    try {
        return Run(hInstance, hPrevInstance, nCmdShow);
    } catch (const std::exception& e) {
        return ReportUnexpectedFailure(ExceptionReason(e));
    } catch (...) {
        return ReportUnexpectedFailure(kUnknownFailure);
    }
}

}  // namespace

}  // namespace quorlane

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpszCmdLine,
                    int nCmdShow) {
    (void)lpszCmdLine;  // the UTF-16 command line is read instead
    return quorlane::ViewerMain(hInstance, hPrevInstance, nCmdShow);
}
