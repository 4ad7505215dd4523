// The PNG writer's row filters and compression levels on the pictures the
// exporter writes: the three examples and the export benchmark's 100 × 100
// and 1000 × 1000 grids, each painted at 1920 × 1080 (the paint pass alone,
// without the texts). Reports the processor time of one picture on one
// thread and its file size ("KB") for each filter and level.
//
//   build/native/bench/png_bench --benchmark_filter=/up/   (one filter)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench_grids.h"
#include "common/worker_pool.h"
#include "data/inputs.h"
#include "data/settings.h"
#include "png_writer/png_writer.h"
#include "render/field_row.h"
#include "render/layout.h"
#include "render/paint.h"

namespace quorlane {

namespace {

namespace fs = std::filesystem;

const char* const kPictures[] = {"rainbow", "twocolour", "nonsquare", "grid100", "grid1000"};
const char* const kFilters[] = {"none", "sub", "up", "average", "paeth", "adaptive"};

struct Counter final : ByteSink {
    size_t bytes = 0;
    bool Write(const uint8_t*, size_t n) override {
        bytes += n;
        return true;
    }
};

// The input folder of a picture: an example, or a generated grid in a folder of its own.
fs::path InputFolder(const std::string& name) {
    if (name.rfind("grid", 0) != 0) return fs::path(QUORLANE_EXAMPLES) / name;
    const int cells = std::stoi(name.substr(4));
    const fs::path folder = fs::temp_directory_path() / ("quorlane-png-bench-" + name);
    fs::create_directories(folder);
    std::ofstream(folder / "quorlane.ini", std::ios::binary) << kBenchSettings;
    std::ofstream(folder / "quorlane.dat", std::ios::binary) << BenchGridText(cells, cells, 0);
    return folder;
}

const std::vector<uint32_t>& Picture(const std::string& name) {
    static std::map<std::string, std::vector<uint32_t>> pictures;
    std::vector<uint32_t>& pixels = pictures[name];
    if (pixels.empty()) {
        WorkerPool pool(WorkerPool::CoreThreads());
        Grid grid;
        DisplaySettings settings;
        if (!LoadInputs(InputsOf(InputFolder(name).string(), true), pool, grid, settings).ok)
            return pixels;
        const Layout layout = ComputeLayout(grid, settings, kBenchWidth, kBenchHeight);
        pixels.resize(size_t(kBenchWidth) * kBenchHeight);
        PaintClient(grid, FieldRowPainter(settings), layout, {pixels.data(), kBenchWidth}, pool);
    }
    return pixels;
}

void BM_Png(benchmark::State& state) {
    const std::vector<uint32_t>& pixels = Picture(kPictures[state.range(0)]);
    if (pixels.empty()) {
        state.SkipWithError("the input does not load");
        return;
    }
    PngOptions options;
    options.filter = PngFilter(state.range(1));
    options.level = int(state.range(2));
    options.strips = PngStrips(kBenchWidth, kBenchHeight);
    Counter file;
    PngScratch scratch;
    for (auto _ : state) {
        file.bytes = 0;
        WritePng(pixels.data(), kBenchWidth, kBenchWidth, kBenchHeight, options, file, nullptr,
                 &scratch);
    }
    state.counters["KB"] = double(file.bytes) / 1024.0;
    state.SetLabel(std::string(kPictures[state.range(0)]) + "/" + kFilters[state.range(1)] + "/" +
                   std::to_string(state.range(2)));
}

BENCHMARK(BM_Png)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4, 5}, {1, 2, 3}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace quorlane
