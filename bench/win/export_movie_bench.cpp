// The export benchmark's movie case (see the top of export_bench.cpp): a
// movie of generated inputs through ffmpeg, in ms per frame end to end, and
// the movie's size.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_window.h"
#include "export_bench.h"
#include "exporter/batch.h"
#include "exporter/options/movie.h"

using namespace quorlane;

namespace fs = std::filesystem;

namespace {

// ffmpeg as QUORLANE_FFMPEG names it, else on the PATH; empty when none.
std::string FindBenchFfmpeg() {
    const char* named = std::getenv("QUORLANE_FFMPEG");
    const char* path = std::getenv("PATH");
    return FindFfmpeg(named != nullptr ? named : "", "", path != nullptr ? path : "",
                      [](const std::string& p) { return fs::is_regular_file(fs::u8path(p)); });
}

// One movie of `paths` through `ffmpeg` into `movie`: ms per frame (wall and
// processor, this process alone) and the movie's size in KB.
PerFrame TimeMovie(Console& console, const std::vector<std::string>& paths,
                   const std::string& ffmpeg, const fs::path& movie, double& kb) {
    ExportOptions options;
    options.quiet = options.overwrite = options.sizeGiven = true;
    options.width = kWidth;
    options.height = kHeight;
    options.pattern = movie.u8string();
    options.movie = MovieFormat::Mp4;
    options.quality = DefaultQuality(MovieFormat::Mp4);
    options.ffmpeg = ffmpeg;
    options.paths = paths;
    const double t0 = SecondsNow(), p0 = ProcessorSeconds(true);
    const int status = ExportAll(options, ExportTuning(), console);
    const double t = SecondsNow() - t0, p = ProcessorSeconds(true) - p0;
    std::error_code ec;
    kb = double(fs::file_size(movie, ec)) / 1024;
    const double n = double(paths.size());
    return {status == 0 ? 1e3 * t / n : -1.0, 1e3 * p / n};
}

}  // namespace

bool TimeMovies(Console& console, const std::vector<BenchBatch>& batches, int movieFrames,
                const fs::path& root) {
    bool ok = true;
    const std::string ffmpeg = movieFrames > 0 ? FindBenchFfmpeg() : std::string();
    for (const auto& b : batches) {
        if (ffmpeg.empty() || b.files->empty()) continue;
        double kb = 0;
        const PerFrame t =
            TimeMovie(console, Batch(*b.files, movieFrames), ffmpeg, root / "movie.mp4", kb);
        std::printf("a movie of %d frames of %s, MP4 through ffmpeg: %.1f (%.1f), %.0f KB\n",
                    movieFrames, b.label, t.wall, t.processor, kb);
        ok = ok && t.wall > 0;
    }
    if (ffmpeg.empty() && movieFrames > 0)
        std::printf("no movie: ffmpeg is not on the PATH and QUORLANE_FFMPEG names none\n");
    return ok;
}
