#pragma once
// The exporter's command line, as text rules that ask neither the file system
// nor the platform:
//
//   quorlane-export [--size WxH] [--out PATTERN] [--overwrite] [--quiet]
//                   [--inputs FILE] PATH...
//   quorlane-export --out NAME.mp4|NAME.webm [--fps N] [--quality Q]
//                   [--ffmpeg PATH] ... PATH...
//   quorlane-export --out - [--format png|bmp] ... PATH...
//
// See exporter/options/output_names.h for the output pattern and
// exporter/options/movie.h for a movie.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "common/input_list.h"
#include "exporter/options/movie.h"
#include "exporter/options/output_names.h"

namespace quorlane {

// The largest picture the exporter makes, in pixels: 2^28 (a 16384 × 16384
// picture, 1 GiB of 32-bit pixels).
constexpr long long kLargestPicturePixels = 1LL << 28;
// The widest picture, in pixels: a row of 32-bit pixels under 256 MiB, the
// widest off-screen picture that can be made for any height (measured under
// Wine: 2^26 pixels fail from two rows on).
constexpr int kWidestPicture = (1 << 26) - 1;

struct ExportOptions {
    bool help = false;       // --help: the usage text, nothing else
    bool quiet = false;      // --quiet: no progress lines
    bool overwrite = false;  // --overwrite: existing output files are replaced
    // --size WxH: the client size; without it each input's settings give it.
    bool sizeGiven = false;
    int width = 0, height = 0;
    std::string pattern = "{name}.png";  // --out
    std::vector<std::string> paths;      // the inputs, in order
    // --inputs FILE ("-": standard input): the lists not yet read, each with
    // how many paths come before its own.
    struct InputList {
        std::string file;
        size_t at;
    };
    std::vector<InputList> lists;
    // --out NAME.mp4 or NAME.webm: one movie of every input (the pattern is
    // then its name, braces taken), with these.
    MovieFormat movie = MovieFormat::None;
    int fps = kDefaultFps;  // --fps
    int quality = -1;       // --quality; -1: the format's default
    std::string ffmpeg;     // --ffmpeg: the program, else looked for
    // --out -: the pictures one after another on standard output, in
    // --format (PNG or BMP); the progress lines go to standard error.
    bool toStandardOutput = false;
    ImageFormat streamFormat = ImageFormat::Png;
};

// Reads the arguments that follow the program's name into `options`. The
// empty string when they are usable (or --help is among them), else the
// usage error to report.
std::string ParseExportArguments(const std::vector<std::string>& args, ExportOptions& options);

// Reads a picture size "WxH" (decimal digits, 'x' or 'X' between): both
// sides at least 1, at most kLargestPicturePixels pixels in all and at most
// kWidestPicture wide. The empty string when it is one, else what is wrong
// with it.
std::string ParsePictureSize(const std::string& text, int& width, int& height);

// Reads an input list (a file, or "-" for standard input), handing its bytes
// to `take` as they come until the list ends or `take` returns false; false
// when the list cannot be read.
using ReadInputList = std::function<bool(const std::string& file, const TakeBytes& take)>;

// Puts the paths of each of options.lists into options.paths at its place,
// so that inputs are numbered in the order they were given. The empty
// string, or the usage error: a list that cannot be read or is refused
// ("steps.txt, line 2: not UTF-8"), or no input.
std::string ReadInputLists(ExportOptions& options, const ReadInputList& read);

// The usage text that --help prints.
std::string ExportUsage();

// The progress line for one file written: "[k/N] INPUT -> OUTPUT (W x H)",
// without the count when the run has a single input.
std::string ProgressLine(size_t done, size_t total, const std::string& input,
                         const std::string& output, int width, int height);

}  // namespace quorlane
