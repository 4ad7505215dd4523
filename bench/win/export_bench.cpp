// Batch export timed from inside: generated grid files exported at a client
// of 1920 × 1080 through the exporter's own run (ExportAll), per frame.
//
// It writes FRAMES grid files of 100 × 100 cells and a few of 1000 × 1000
// cells (taken in turn for FRAMES inputs: the files are in the system's
// cache either way) with one settings file beside them into a folder of its
// own under the temporary folder, and times:
//   - each step alone on one thread for one frame: load, draw (the client
//     picture, texts included) and encode for each PNG row filter, BMP, TIFF;
//   - whole batches: the pipelined run with the PNG filters, and the
//     one-by-one run, for both grid sizes, in ms per frame;
//   - the start-up of quorlane-export.exe (beside this program's folder,
//     when there) on one small input, process start to exit.
// The pipelined and the one-by-one runs must write byte-identical files.
// Exit status 0, or 1 when a run fails or the files differ. The folder is
// removed at the end.
//
//   export_bench [FRAMES [BIG_FRAMES [REPEATS]]]   (defaults 200, 200 and 10; REPEATS
//                                                  of each step alone, 0: none)
//
// Build: cmake --preset mingw && cmake --build --preset mingw
// Run under Wine; it needs no display:
//   wine build/mingw/bench/win/export_bench.exe
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/worker_pool.h"
#include "data/inputs.h"
#include "data/settings.h"
#include "exporter/batch.h"
#include "exporter/image_file.h"
#include "gdi/client_picture.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
const char kSettings[] =
    "-1.0\n1.0\n0\n255\n0\n0\n255\n0\n1920\n1160\n24\n80\n24\n10\nElevation\n1\n1\n";

double Seconds() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double Sum(const FILETIME& a, const FILETIME& b) {
    return 1e-7 * double((uint64_t(a.dwHighDateTime) << 32 | a.dwLowDateTime) +
                         (uint64_t(b.dwHighDateTime) << 32 | b.dwLowDateTime));
}

// Processor seconds of this thread, or of the whole process: what a step
// costs whatever else the machine runs beside it (in steps of 10 ms under
// Wine, so steps are repeated).
double ThreadSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return Sum(kernel, user);
}
double ProcessSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Sum(kernel, user);
}

struct PerFrame {
    double wall, processor;  // ms per frame; wall < 0: the run failed
};

// A smooth field of columns × rows cells whose hills move with `phase`.
void WriteGrid(const fs::path& file, int columns, int rows, int phase) {
    std::string text = std::to_string(columns) + " " + std::to_string(rows) + " 1.0 1.0\n";
    text.reserve(text.size() + size_t(columns) * size_t(rows) * 8);
    char line[32];
    const double t = phase * 0.05;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const double x = double(i) / columns, y = double(j) / rows;
            const double v = std::sin(6.0 * x + t) * std::cos(5.0 * y - 0.7 * t);
            text.append(line, size_t(std::snprintf(line, sizeof line, "%.4f\n", v)));
        }
    std::ofstream(file, std::ios::binary).write(text.data(), std::streamsize(text.size()));
}

// `count` grid files of columns × rows cells in `folder`, with the settings.
std::vector<std::string> MakeGrids(const fs::path& folder, int columns, int rows, int count) {
    fs::create_directories(folder);
    std::ofstream(folder / "quorlane.ini", std::ios::binary) << kSettings;
    std::vector<std::string> files;
    for (int k = 0; k < count; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "step_%04d.dat", k + 1);
        WriteGrid(folder / name, columns, rows, k);
        files.push_back((folder / name).u8string());
    }
    return files;
}

// `frames` inputs taken from `files` in turn.
std::vector<std::string> Batch(const std::vector<std::string>& files, int frames) {
    std::vector<std::string> paths;
    for (int k = 0; k < frames; ++k) paths.push_back(files[size_t(k) % files.size()]);
    return paths;
}

// One run of the exporter into `out` (emptied first).
PerFrame TimeRun(Console& console, const std::vector<std::string>& paths, const fs::path& out,
                 const char* extension, const ExportTuning& tuning) {
    std::error_code ec;
    fs::remove_all(out, ec);
    fs::create_directories(out);
    ExportOptions options;
    options.quiet = true;
    options.sizeGiven = true;
    options.width = kWidth;
    options.height = kHeight;
    options.pattern = (out / "{n}").u8string() + extension;
    options.paths = paths;
    const double t0 = Seconds(), p0 = ProcessSeconds();
    const int status = ExportAll(options, tuning, console);
    const double t = Seconds() - t0, p = ProcessSeconds() - p0;
    const double n = double(paths.size());
    return {status == 0 ? 1e3 * t / n : -1.0, 1e3 * p / n};
}

// Mean size of the files in `folder`, in KB.
double MeanFileKB(const fs::path& folder) {
    uintmax_t bytes = 0, files = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
        bytes += e.file_size();
        ++files;
    }
    return files == 0 ? 0.0 : double(bytes) / double(files) / 1024.0;
}

bool SameFiles(const fs::path& a, const fs::path& b, size_t* compared) {
    *compared = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(a)) {
        std::ifstream fa(e.path(), std::ios::binary), fb(b / e.path().filename(), std::ios::binary);
        const std::string ta((std::istreambuf_iterator<char>(fa)), {});
        const std::string tb((std::istreambuf_iterator<char>(fb)), {});
        if (ta != tb || ta.empty()) return false;
        ++*compared;
    }
    return *compared > 0;
}

// The steps of one frame alone, on one thread: processor ms, the mean of
// `repeats` runs of each.
void TimeSteps(const std::string& file, const fs::path& out, const char* label, int repeats) {
    WorkerPool pool(1);
    InputFiles in;
    ResolveArgument(file, in);
    Grid grid;
    DisplaySettings settings;
    double t0 = ThreadSeconds();
    for (int k = 0; k < repeats; ++k) LoadInputs(in, pool, grid, settings);
    const double load = (ThreadSeconds() - t0) / repeats;
    const FieldRowPainter painter(settings);
    OffscreenPicture picture(PictureSizing::Exact);
    DrawClientPicture(picture, nullptr, grid, painter, pool, kWidth, kHeight);  // made once
    t0 = ThreadSeconds();
    for (int k = 0; k < repeats; ++k)
        DrawClientPicture(picture, nullptr, grid, painter, pool, kWidth, kHeight);
    GdiFlush();
    const double draw = (ThreadSeconds() - t0) / repeats;
    std::printf("%s, one thread, processor ms: load %.1f, draw %.1f; encode", label, 1e3 * load,
                1e3 * draw);
    ImageFileWriter writer;
    const struct {
        const char* name;
        ImageFormat format;
        WICPngFilterOption filter;
    } encodings[] = {
        {"PNG none", ImageFormat::Png, WICPngFilterNone},
        {"sub", ImageFormat::Png, WICPngFilterSub},
        {"up", ImageFormat::Png, WICPngFilterUp},
        {"average", ImageFormat::Png, WICPngFilterAverage},
        {"paeth", ImageFormat::Png, WICPngFilterPaeth},
        {"adaptive", ImageFormat::Png, WICPngFilterAdaptive},
        {"default", ImageFormat::Png, WICPngFilterUnspecified},
        {"BMP", ImageFormat::Bmp, WICPngFilterNone},
        {"TIFF", ImageFormat::Tiff, WICPngFilterNone},
    };
    for (const auto& e : encodings) {
        writer.SetPngFilter(e.filter);
        const std::string path =
            (out / "step").u8string() + (e.format == ImageFormat::Png   ? ".png"
                                         : e.format == ImageFormat::Bmp ? ".bmp"
                                                                        : ".tif");
        std::string reason;
        t0 = ThreadSeconds();
        for (int k = 0; k < repeats; ++k)
            writer.Write(picture.image(), kWidth, kHeight, e.format, path, true, reason);
        std::printf(" %s %.1f (%.0f KB)%s", e.name, 1e3 * (ThreadSeconds() - t0) / repeats,
                    double(fs::file_size(path)) / 1024.0, e.format == ImageFormat::Tiff ? "" : ",");
    }
    std::printf("\n");
}

// Process start to exit of `exe` with `args`, in ms (best of `runs`), or -1.
double TimeStartUp(const fs::path& exe, const std::wstring& args, int runs) {
    double best = -1.0;
    for (int k = 0; k < runs; ++k) {
        std::wstring line = L"\"" + exe.wstring() + L"\" " + args;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        const double t0 = Seconds();
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi))
            return -1.0;
        WaitForSingleObject(pi.hProcess, 60000);
        const double t = Seconds() - t0;
        DWORD status = 1;
        GetExitCodeProcess(pi.hProcess, &status);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        if (status != 0) return -1.0;
        best = best < 0 ? t : std::min(best, t);
    }
    return 1e3 * best;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int bigFrames = argc > 2 ? std::max(0, std::atoi(argv[2])) : 200;
    const int repeats = argc > 3 ? std::max(0, std::atoi(argv[3])) : 10;
    const fs::path root = fs::temp_directory_path() /
                          ("quorlane-export-bench-" + std::to_string(GetCurrentProcessId()));
    Console console;
    bool ok = true;
    std::printf("export at %d x %d, %u threads; ms per frame\n", kWidth, kHeight,
                WorkerPool::CoreThreads());
    const std::vector<std::string> small =
        MakeGrids(root / "g100", 100, 100, std::min(frames, 200));
    const std::vector<std::string> big =
        bigFrames > 0 ? MakeGrids(root / "g1000", 1000, 1000, std::min(bigFrames, 10))
                      : std::vector<std::string>();
    if (repeats > 0) TimeSteps(small[0], root, "100 x 100 grid", repeats);
    if (repeats > 0 && !big.empty()) TimeSteps(big[0], root, "1000 x 1000 grid", repeats);

    const struct {
        const char* name;
        WICPngFilterOption filter;
    } filters[] = {{"none", WICPngFilterNone},
                   {"sub", WICPngFilterSub},
                   {"up", WICPngFilterUp},
                   {"default", WICPngFilterUnspecified}};
    std::printf("batches: wall ms per frame (processor ms per frame)\n");
    for (const auto& f : filters) {
        ExportTuning tuning;
        tuning.pngFilter = f.filter;
        const PerFrame t = TimeRun(console, Batch(small, frames), root / "out", ".png", tuning);
        std::printf("%d frames of 100 x 100, PNG %-7s pipelined: %6.1f (%.1f), %.0f KB\n", frames,
                    f.name, t.wall, t.processor, MeanFileKB(root / "out"));
        ok = ok && t.wall > 0;
    }
    const struct {
        const char* label;
        const std::vector<std::string>* files;
        int count;
    } batches[] = {{"100 x 100", &small, frames}, {"1000 x 1000", &big, bigFrames}};
    for (const auto& b : batches) {
        if (b.count == 0) continue;
        const std::vector<std::string> paths = Batch(*b.files, b.count);
        ExportTuning one;
        one.pipelined = false;
        const PerFrame pipelined = TimeRun(console, paths, root / "out", ".png", ExportTuning());
        const PerFrame oneByOne = TimeRun(console, paths, root / "ref", ".png", one);
        size_t compared = 0;
        const bool same = SameFiles(root / "out", root / "ref", &compared);
        std::printf(
            "%d frames of %s, PNG as the program writes it: pipelined %.1f (%.1f), one by "
            "one %.1f (%.1f); %zu files %s\n",
            b.count, b.label, pipelined.wall, pipelined.processor, oneByOne.wall,
            oneByOne.processor, compared, same ? "identical" : "DIFFER");
        ok = ok && pipelined.wall > 0 && oneByOne.wall > 0 && same;
    }
    for (const char* ext : {".bmp", ".tif"}) {
        const PerFrame t =
            TimeRun(console, Batch(small, frames), root / "out", ext, ExportTuning());
        std::printf("%d frames of 100 x 100, %s pipelined: %.1f (%.1f), %.0f KB\n", frames, ext + 1,
                    t.wall, t.processor, MeanFileKB(root / "out"));
        ok = ok && t.wall > 0;
    }

    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const fs::path exe =
        fs::path(self).parent_path().parent_path().parent_path() / "quorlane-export.exe";
    if (fs::exists(exe)) {
        const std::wstring args = L"--overwrite --quiet --out \"" +
                                  (root / "startup.png").wstring() + L"\" \"" +
                                  fs::u8path(small[0]).wstring() + L"\"";
        const double ms = TimeStartUp(exe, args, 5);
        std::printf(
            "start-up of one export of a 100 x 100 grid at the settings' window size, "
            "process start to exit: %.0f ms\n",
            ms);
        ok = ok && ms > 0;
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    std::printf("%s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
