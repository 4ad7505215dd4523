// Loading a grid file of about ten million value lines (~100 MB) from disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/grid.h"

namespace {

constexpr unsigned kCols = 3162, kRows = 3163;

// Writes the grid file once per process; values like "12.345678".
const std::string& GridFile(size_t& bytes) {
    static std::string path;
    static size_t size = 0;
    if (path.empty()) {
        path = (std::filesystem::temp_directory_path() /
                ("quorlane_load_bench_" + std::to_string(std::rand()) + ".dat"))
                   .string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) std::abort();
        size += size_t(std::fprintf(f, "%u\n%u\n1.0\n0.5\n", kCols, kRows));
        char line[32];
        unsigned seed = 12345;
        for (unsigned k = 0; k < kCols * kRows; ++k) {
            seed = seed * 1103515245u + 12345u;
            unsigned v = (seed >> 8) % 100000000u;
            int len = std::snprintf(line, sizeof line, "%u.%06u\n", v / 1000000u, v % 1000000u);
            size += std::fwrite(line, 1, size_t(len), f);
        }
        std::fclose(f);
        std::atexit([] { std::remove(path.c_str()); });
    }
    bytes = size;
    return path;
}

void BM_LoadGrid(benchmark::State& state) {
    size_t bytes = 0;
    const std::string& path = GridFile(bytes);
    for (auto _ : state) {
        Grid grid;
        StartupResult r = LoadGrid(grid, path.c_str());
        if (!r.ok) state.SkipWithError(r.message);
        benchmark::DoNotOptimize(grid.cells.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
    state.counters["lines"] = double(kCols) * kRows;
}
BENCHMARK(BM_LoadGrid)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
