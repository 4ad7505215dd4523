#pragma once
// The exporter's command line and the names of its output files, as text
// rules that ask neither the file system nor the platform:
//
//   quorlane-export [--size WxH] [--out PATTERN] [--overwrite] [--quiet] PATH...
//
// The output pattern holds {name} (the input's stem: a folder's last
// component, a grid file's name without its extension), {n} (the input's
// 1-based position on the command line, zero-padded to four digits) and
// {n:K} (padded to K digits); {{ and }} stand for braces. The picture format
// follows the output file's extension.
#include <cstddef>
#include <string>
#include <vector>

#include "data/inputs.h"

// The largest picture the exporter makes, in pixels: 2^28 (a 16384 × 16384
// picture, 1 GiB of 32-bit pixels).
constexpr long long kLargestPicturePixels = 1LL << 28;

struct ExportOptions {
    bool help = false;       // --help: the usage text, nothing else
    bool quiet = false;      // --quiet: no progress lines
    bool overwrite = false;  // --overwrite: existing output files are replaced
    // --size WxH: the client size; without it each input's settings give it.
    bool sizeGiven = false;
    int width = 0, height = 0;
    std::string pattern = "{name}.png";  // --out
    std::vector<std::string> paths;      // the inputs, in order
};

// Reads the arguments that follow the program's name into `options`. The
// empty string when they are usable (or --help is among them), else the
// usage error to report.
std::string ParseExportArguments(const std::vector<std::string>& args, ExportOptions& options);

// Reads a picture size "WxH" (decimal digits, 'x' or 'X' between): both
// sides at least 1 and at most kLargestPicturePixels pixels in all. The
// empty string when it is one, else what is wrong with it.
std::string ParsePictureSize(const std::string& text, int& width, int& height);

// What is wrong with an output pattern: an empty pattern, a field other than
// {name}, {n} and {n:K} (K from 1 to 9), or a brace left open. Empty when
// it is usable.
std::string CheckOutputPattern(const std::string& pattern);

// The output path of the input at 1-based `position` whose stem is `stem`,
// for a pattern that CheckOutputPattern accepts.
std::string ExpandOutputPattern(const std::string& pattern, const std::string& stem,
                                size_t position);

enum class ImageFormat { Unknown, Png, Bmp, Tiff };

// The format an output path asks for by its extension, in any case: .png,
// .bmp, .tif or .tiff.
ImageFormat FormatOfPath(const std::string& path, PathStyle style = kSystemPathStyle);

// The folder an output file goes into, as the path spells it ("." for a bare
// file name, "C:" for "C:out.png"): where its temporary file is made.
std::string OutputFolder(const std::string& path, PathStyle style = kSystemPathStyle);

// Two output paths that name the same file on this system give the same key:
// "." components and repeated separators are left out, ".." is taken
// lexically and on Windows either separator and either letter case is one.
std::string OutputKey(const std::string& path, PathStyle style = kSystemPathStyle);

// The first two outputs that name one file, as positions into `outputs`
// (first < second), skipping the empty ones (inputs that name nothing).
// False when every output is a file of its own.
bool FindSharedOutput(const std::vector<std::string>& outputs, size_t& first, size_t& second,
                      PathStyle style = kSystemPathStyle);

// The usage text that --help prints.
std::string ExportUsage();

// The progress line for one file written: "[k/N] INPUT -> OUTPUT (W x H)",
// without the count when the run has a single input.
std::string ProgressLine(size_t done, size_t total, const std::string& input,
                         const std::string& output, int width, int height);
