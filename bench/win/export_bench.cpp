// Batch export timed from inside: generated grid files exported at a client
// of 1920 × 1080 through the exporter's own run (ExportAll), per frame.
//
// It writes FRAMES grid files of 100 × 100 cells and a few of 1000 × 1000
// cells (taken in turn for FRAMES inputs: the files are in the system's
// cache either way) with one settings file beside them into a folder of its
// own under the temporary folder, and times:
//   - each step alone on one thread for one frame of each grid size and of
//     EXAMPLE (at its own size and at 1920 × 1080): load, draw (the client picture, texts included)
//     and encode: the own PNG writer for each row filter at levels 1 to 3, the imaging component's
//     PNG, BMP, TIFF;
//   - whole batches, in ms per frame, for both grid sizes: the pipelined
//     run with the own PNG writer and the imaging component's, and the
//     one-by-one run;
//   - a movie of MOVIE_FRAMES inputs of each grid size (an MP4 at 1920 ×
//     1080 through ffmpeg, named by QUORLANE_FFMPEG or found as the program
//     finds it), in ms per frame end to end, and the movie's size
//     (export_movie_bench.cpp);
//   - the start-up of quorlane-export.exe (beside this program's folder,
//     when there) on one small input and on EXAMPLE (a folder), process
//     start to exit.
// The pipelined and the one-by-one runs must write byte-identical files.
// Exit status 0, or 1 when a run fails or the files differ. The folder is
// removed at the end.
//
//   export_bench [FRAMES [BIG_FRAMES [REPEATS [EXAMPLE [MOVIE_FRAMES]]]]]
//       (defaults 200, 200, 10 and 240; REPEATS of each step alone, 0: none; a
//       movie only where ffmpeg is found)
//
// Build: cmake --preset mingw && cmake --build --preset mingw
// Run under Wine; it needs no display:
//   wine build/mingw/bench/win/export_bench.exe
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../bench_grids.h"
#include "bench_window.h"
#include "common/worker_pool.h"
#include "data/inputs.h"
#include "data/settings.h"
#include "export_bench.h"
#include "exporter/batch.h"
#include "exporter/image_file.h"
#include "gdi/client_picture.h"
#include "gdi/main_window_frame.h"

using namespace quorlane;

namespace fs = std::filesystem;

namespace {

void WriteGrid(const fs::path& file, int columns, int rows, int phase) {
    const std::string text = BenchGridText(columns, rows, phase);
    std::ofstream(file, std::ios::binary).write(text.data(), std::streamsize(text.size()));
}

// `count` grid files of columns × rows cells in `folder`, with the settings.
std::vector<std::string> MakeGrids(const fs::path& folder, int columns, int rows, int count) {
    fs::create_directories(folder);
    std::ofstream(folder / "quorlane.ini", std::ios::binary) << kBenchSettings;
    std::vector<std::string> files;
    for (int k = 0; k < count; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "step_%04d.dat", k + 1);
        WriteGrid(folder / name, columns, rows, k);
        files.push_back((folder / name).u8string());
    }
    return files;
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
    const double t0 = SecondsNow(), p0 = ProcessorSeconds(true);
    const int status = ExportAll(options, tuning, console);
    const double t = SecondsNow() - t0, p = ProcessorSeconds(true) - p0;
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
// At the settings' own client size when `ownSize`, else at 1920 × 1080.
void TimeSteps(const std::string& file, const fs::path& out, const char* label, int repeats,
               bool ownSize = false) {
    WorkerPool pool(1);
    InputFiles in;
    ResolveArgument(file, in);
    Grid grid;
    DisplaySettings settings;
    double t0 = ProcessorSeconds(false);
    for (int k = 0; k < repeats; ++k) LoadInputs(in, pool, grid, settings);
    const double load = (ProcessorSeconds(false) - t0) / repeats;
    int width = kWidth, height = kHeight;
    if (ownSize) MainWindowClientSize(settings, width, height);
    const FieldRowPainter painter(settings);
    OffscreenPicture picture(PictureSizing::Exact);
    DrawClientPicture(picture, nullptr, grid, painter, pool, width, height);  // made once
    t0 = ProcessorSeconds(false);
    for (int k = 0; k < repeats; ++k)
        DrawClientPicture(picture, nullptr, grid, painter, pool, width, height);
    GdiFlush();
    const double draw = (ProcessorSeconds(false) - t0) / repeats;
    std::printf("%s at %d x %d, one thread, processor ms: load %.1f, draw %.1f\n", label, width,
                height, 1e3 * load, 1e3 * draw);
    struct Encoding {
        std::string name;
        ImageFormat format;
        PngEncoding png;
    };
    std::vector<Encoding> encodings;
    const char* const filters[] = {"none", "sub", "up", "average", "paeth", "adaptive"};
    for (int level : {1, 2, 3})
        for (int f = 0; f < 6; ++f) {
            PngEncoding png;
            png.filter = PngFilter(f);
            png.level = level;
            encodings.push_back({"PNG " + std::string(filters[f]) + " " + std::to_string(level),
                                 ImageFormat::Png, png});
        }
    for (const auto& [name, filter] : {std::pair{"none", WicPngFilter::None},
                                       {"up", WicPngFilter::Up},
                                       {"default", WicPngFilter::Unspecified}}) {
        PngEncoding png;
        png.imagingComponent = true;
        png.wicFilter = filter;
        encodings.push_back(
            {std::string("imaging component's PNG ") + name, ImageFormat::Png, png});
    }
    encodings.push_back({"BMP", ImageFormat::Bmp, PngEncoding()});
    encodings.push_back({"TIFF", ImageFormat::Tiff, PngEncoding()});
    ImageFileWriter writer;
    for (const Encoding& e : encodings) {
        writer.SetPngEncoding(e.png);
        const std::string path =
            (out / "step").u8string() + (e.format == ImageFormat::Png   ? ".png"
                                         : e.format == ImageFormat::Bmp ? ".bmp"
                                                                        : ".tif");
        std::string reason;
        t0 = ProcessorSeconds(false);
        for (int k = 0; k < repeats; ++k)
            writer.Write(picture.image(), width, height, e.format, path, true, reason, file);
        const double encode = (ProcessorSeconds(false) - t0) / repeats;
        std::printf("  encode %-32s %5.1f ms %5.0f KB\n", e.name.c_str(), 1e3 * encode,
                    double(fs::file_size(path)) / 1024.0);
    }
}

// Process start to exit of `exe` with `args`, in ms (best of `runs`), or -1.
double TimeStartUp(const fs::path& exe, const std::wstring& args, int runs) {
    double best = -1.0;
    for (int k = 0; k < runs; ++k) {
        std::wstring line = L"\"" + exe.wstring() + L"\" " + args;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        const double t0 = SecondsNow();
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi))
            return -1.0;
        WaitForSingleObject(pi.hProcess, 60000);
        const double t = SecondsNow() - t0;
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
    const char* example = argc > 4 ? argv[4] : nullptr;
    const int movieFrames = argc > 5 ? std::max(0, std::atoi(argv[5])) : 240;
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
    if (repeats > 0 && example != nullptr) {
        TimeSteps(example, root, example, repeats, true);
        TimeSteps(example, root, example, repeats);
    }
    PngEncoding wicNone, wicDefault;
    wicNone.imagingComponent = wicDefault.imagingComponent = true;
    wicNone.wicFilter = WicPngFilter::None;
    const struct {
        const char* name;
        PngEncoding png;
    } pngs[] = {{"own", PngEncoding()},
                {"imaging component's, filter none", wicNone},
                {"imaging component's default", wicDefault}};
    const std::vector<BenchBatch> batches = {{"100 x 100", &small, frames},
                                             {"1000 x 1000", &big, bigFrames}};
    std::printf("batches: wall ms per frame (processor ms per frame)\n");
    for (const auto& b : batches)
        for (const auto& f : pngs) {
            if (b.count == 0) continue;
            ExportTuning tuning;
            tuning.png = f.png;
            const PerFrame t =
                TimeRun(console, Batch(*b.files, b.count), root / "out", ".png", tuning);
            std::printf("%d frames of %s, PNG %s, pipelined: %6.1f (%.1f), %.0f KB\n", b.count,
                        b.label, f.name, t.wall, t.processor, MeanFileKB(root / "out"));
            ok = ok && t.wall > 0;
        }
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
    ok = TimeMovies(console, batches, movieFrames, root) && ok;
    // The program's start-up, when it is beside this one's folder.
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
        if (example != nullptr) {
            const std::wstring own = L"--overwrite --quiet --out \"" +
                                     (root / "example.png").wstring() + L"\" \"" +
                                     fs::u8path(example).wstring() + L"\"";
            const double t = TimeStartUp(exe, own, 5);
            std::printf("start-up of one export of %s, process start to exit: %.0f ms, %.0f KB\n",
                        example, t, t > 0 ? double(fs::file_size(root / "example.png")) / 1024 : 0);
            ok = ok && t > 0;
        }
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    std::printf("%s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
