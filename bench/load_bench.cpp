// Loading grid files from disk, in MB/s of file read, with the peak resident
// memory of the process during the loads ("peak_MB"). FORM is how the values
// are written: 0 "%.4f" (50.3003), 1 "%.9g" (50.3003174), 2 "%.18e"
// (5.030031738281250000e+01, what a numerical library writes by default);
// the values are uniform in [0, 100).
//   BM_LoadGrid/4000/FORM/0    a 4000 × 4000 grid (126, 174 and 400 MB), on every thread;
//   BM_LoadGrid/4000/0/1       the %.4f one on one thread;
//   BM_LoadGrid/10000/0/0      a 10,000 × 10,000 grid (~790 MB of %.4f; needs that much
//                              room in the temporary folder and about 400 MB of memory);
//   BM_LoadGridRange/SIDE/0/0/R     the %.4f load of SIDE 4000 or 10000 without (R 0) and
//                              with (R 1) the readout's range gathered piece by piece as
//                              the values are parsed (--probe), in the process's CPU time;
//   BM_Convert/FORM            the conversion of value lines alone (items_per_second).
// The files are written once per process into the temporary folder and removed
// at exit; `--files=DIR` keeps them in DIR instead (written when missing, else
// reused), which is how bench/peers.py times other readers on the same files.
// --benchmark_filter=4000 leaves the large one out.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/worker_pool.h"
#include "data/bytesource.h"
#include "data/grid_loader.h"
#include "data/textread.h"
#include "probe/field_range.h"

namespace quorlane {

namespace {

constexpr const char* kForms[] = {"%.4f", "%.9g", "%.18e"};
constexpr const char* kFormNames[] = {"f4", "g9", "e18"};

// A deterministic stream of values uniform in [0, 100).
class Values {
  public:
    double Next() {
        state_ = state_ * 6364136223846793005u + 1442695040888963407u;
        return double(state_ >> 11) * 0x1p-53 * 100.0;
    }

  private:
    uint64_t state_ = 12345;
};

// The grid files of this run and where they lie.
class GridFiles {
  public:
    GridFiles() = default;
    GridFiles(const GridFiles&) = delete;
    GridFiles& operator=(const GridFiles&) = delete;
    ~GridFiles() {
        if (keep_.empty())
            for (const auto& f : files_) std::remove(f.second.c_str());
    }

    void KeepIn(std::string folder) { keep_ = std::move(folder); }

    // The path of the side × side grid of `form`, written when it is not there yet.
    const std::string& Path(unsigned side, unsigned form) {
        std::string& path = files_[{side, form}];
        if (!path.empty()) return path;
        const std::string name =
            "quorlane_load_" + std::to_string(side) + "_" + kFormNames[form] + ".dat";
        if (!keep_.empty()) {
            path = (std::filesystem::path(keep_) / name).string();
            if (std::filesystem::exists(path)) return path;
        } else {
            path = (std::filesystem::temp_directory_path() /
                    (std::to_string(std::rand()) + "_" + name))
                       .string();
        }
        Write(path, side, kForms[form]);
        return path;
    }

  private:
    static void Write(const std::string& path, unsigned side, const char* form) {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (!out) std::abort();
        std::fprintf(out, "%u %u 1.0 1.0\n", side, side);
        std::vector<char> buf(1 << 20);
        size_t used = 0;
        Values values;
        for (size_t k = 0, cells = size_t(side) * side; k < cells; ++k) {
            if (buf.size() - used < 64) {
                std::fwrite(buf.data(), 1, used, out);
                used = 0;
            }
            used += size_t(std::snprintf(buf.data() + used, 64, form, values.Next()));
            buf[used++] = '\n';
        }
        std::fwrite(buf.data(), 1, used, out);
        if (std::fclose(out) != 0) std::abort();
    }

    std::string keep_;
    std::map<std::pair<unsigned, unsigned>, std::string> files_;
};

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

// Arguments: the grid's side, its form, and the threads (0: one per core).
// With `withRange`, each piece is summarised for the readout's range as it
// is parsed (what the viewer does with --probe), against a scale of 10 to 90.
void LoadGridCase(benchmark::State& state, GridFiles& files, bool withRange = false) {
    const unsigned form = unsigned(state.range(1));
    const std::string& path = files.Path(unsigned(state.range(0)), form);
    const double bytes = double(std::filesystem::file_size(path));
    const unsigned threads = unsigned(state.range(2));
    WorkerPool pool(threads == 0 ? WorkerPool::CoreThreads() : threads);
    ResetPeak();
    for (auto _ : state) {
        Grid grid;
        DisplaySettings scale;
        scale.scaleMin = 10, scale.scaleMax = 90;
        RangeCollector collector(scale);
        PiecesParsed parsed;
        if (withRange)
            parsed = [&collector](const Grid& g, size_t first, size_t count) {
                collector.Add(g, first, count);
            };
        const LoadResult r = LoadGrid(grid, pool, path, {}, parsed);
        if (withRange) benchmark::DoNotOptimize(collector.Result(grid));
        if (!r.ok) {
            state.SkipWithError(r.message.c_str());
            break;
        }
        benchmark::DoNotOptimize(grid.cells.data());
    }
    state.SetBytesProcessed(int64_t(double(state.iterations()) * bytes));
    state.SetLabel(kForms[form]);
    state.counters["MB"] = bytes / 1e6;
    state.counters["peak_MB"] = PeakResidentMB();
    state.counters["threads"] = pool.Threads();
}

// The conversion of every line of 4096 in the loader's own loop, per value.
void ConvertCase(benchmark::State& state) {
    const char* const form = kForms[state.range(0)];
    std::string text;
    Values values;
    char line[64];
    for (int k = 0; k < 4096; ++k) {
        text.append(line, size_t(std::snprintf(line, sizeof line, form, values.Next())));
        text += '\n';
    }
    std::vector<float> out(4096);
    for (auto _ : state) {
        const char* p = text.data();
        for (float& v : out) v = ReadLineValue(p, text.data() + text.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 4096);
    state.SetLabel(form);
}

}  // namespace

// The program; main hands over to it.
int Run(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    GridFiles files;
    for (int k = 1; k < argc; ++k) {
        if (std::strncmp(argv[k], "--files=", 8) == 0) {
            files.KeepIn(argv[k] + 8);
        } else {
            std::fprintf(stderr, "load_bench: unknown argument %s\n", argv[k]);
            return 2;
        }
    }
    const auto load = [&files](benchmark::State& state) { LoadGridCase(state, files); };
    benchmark::RegisterBenchmark("BM_LoadGrid", load)
        ->Args({4000, 0, 0})
        ->Args({4000, 1, 0})
        ->Args({4000, 2, 0})
        ->Args({4000, 0, 1})
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_LoadGrid", load)
        ->Args({10000, 0, 0})
        ->Unit(benchmark::kMillisecond)
        ->MinTime(5.0)
        ->UseRealTime();
    // The same loads without and with the range gathered, in the CPU time of the whole process.
    const auto loadRange = [&files](benchmark::State& state) {
        LoadGridCase(state, files, state.range(3) != 0);
    };
    for (const int64_t side : {4000, 10000})
        benchmark::RegisterBenchmark("BM_LoadGridRange", loadRange)
            ->Args({side, 0, 0, 0})
            ->Args({side, 0, 0, 1})
            ->Unit(benchmark::kMillisecond)
            ->MinTime(side == 4000 ? 2.0 : 5.0)
            ->MeasureProcessCPUTime()
            ->UseRealTime();
    benchmark::RegisterBenchmark("BM_Convert", ConvertCase)->DenseRange(0, 2);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace quorlane

int main(int argc, char** argv) {
    return quorlane::Run(argc, argv);
}
