// Loading grid files from disk, in MB/s of file read, with the peak resident
// memory of the process during the loads ("peak_MB"):
//   BM_LoadGrid/3162/0      about ten million value lines (~100 MB), on every thread;
//   BM_LoadGrid/3162/1      the same on one thread;
//   BM_LoadGrid/10000/0     a 10,000 × 10,000 grid (~800 MB of "12.3456" lines; needs that
//                           much room in the temporary folder and about 400 MB of memory);
//   BM_RealPrefix           the conversion of one value line alone.
// The files are written once per process into the temporary folder and removed
// at exit. --benchmark_filter=3162 leaves the large one out.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/worker_pool.h"
#include "data/bytesource.h"
#include "data/grid_loader.h"
#include "data/textread.h"

namespace {

struct GridFile {
    std::string path;
    size_t bytes = 0;
};
std::map<unsigned, GridFile> files;

// A side × side grid file (a 3162-wide one 3163 rows high), written once: values of
// "12.345678" for the ~100 MB file, "12.3456" for larger ones.
const GridFile& File(unsigned side) {
    GridFile& f = files[side];
    if (!f.path.empty()) return f;
    const unsigned rows = side == 3162 ? 3163 : side, decimals = side == 3162 ? 6 : 4;
    f.path =
        (std::filesystem::temp_directory_path() / ("quorlane_load_bench_" + std::to_string(side) +
                                                   "_" + std::to_string(std::rand()) + ".dat"))
            .string();
    std::FILE* out = std::fopen(f.path.c_str(), "wb");
    if (!out) std::abort();
    f.bytes += size_t(std::fprintf(out, "%u\n%u\n1.0\n0.5\n", side, rows));
    std::vector<char> buf;
    unsigned seed = 12345;
    for (size_t k = 0, cells = size_t(side) * rows; k < cells; ++k) {
        seed = seed * 1103515245u + 12345u;
        const unsigned v = (seed >> 8) % 100000000u;
        char line[32];
        const int len =
            decimals == 6
                ? std::snprintf(line, sizeof line, "%u.%06u\n", v / 1000000u, v % 1000000u)
                : std::snprintf(line, sizeof line, "%u.%04u\n", v / 1000000u, v % 10000u);
        buf.insert(buf.end(), line, line + len);
        if (buf.size() > (1u << 20) || k + 1 == cells) {
            f.bytes += std::fwrite(buf.data(), 1, buf.size(), out);
            buf.clear();
        }
    }
    std::fclose(out);
    return f;
}

void RemoveFiles() {
    for (const auto& f : files) std::remove(f.second.path.c_str());
}

// The process's peak resident memory in MB since the last ResetPeak(), from
// the kernel's high-water mark (0 where it cannot be read).
double PeakResidentMB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Arguments: the grid's side, and the threads (0: one per core).
void BM_LoadGrid(benchmark::State& state) {
    const GridFile& f = File(unsigned(state.range(0)));
    const unsigned threads = unsigned(state.range(1));
    WorkerPool pool(threads == 0 ? WorkerPool::CoreThreads() : threads);
    ResetPeak();
    for (auto _ : state) {
        Grid grid;
        FileSource source;
        if (!source.Open(f.path)) {
            state.SkipWithError("cannot open");
            break;
        }
        const LoadResult r = LoadGridFrom(grid, source, pool);
        if (!r.ok) {
            state.SkipWithError(r.message.c_str());
            break;
        }
        benchmark::DoNotOptimize(grid.cells.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes));
    state.counters["MB"] = double(f.bytes) / 1e6;
    state.counters["peak_MB"] = PeakResidentMB();
    state.counters["threads"] = pool.Threads();
}
BENCHMARK(BM_LoadGrid)
    ->Args({3162, 0})
    ->Args({3162, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_LoadGrid)
    ->Args({10000, 0})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(5.0)
    ->UseRealTime();

void BM_RealPrefix(benchmark::State& state) {
    std::vector<std::string> lines;
    unsigned seed = 7;
    for (int k = 0; k < 4096; ++k) {
        seed = seed * 1103515245u + 12345u;
        lines.push_back(std::to_string(seed % 100) + "." + std::to_string(1000 + seed % 9000) +
                        "\n");
    }
    size_t k = 0;
    for (auto _ : state) benchmark::DoNotOptimize(RealPrefix(lines[k++ % lines.size()]));
}
BENCHMARK(BM_RealPrefix);

const bool kRemoveAtExit = [] { return std::atexit(RemoveFiles) == 0; }();

}  // namespace
