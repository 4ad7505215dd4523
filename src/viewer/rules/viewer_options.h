#pragma once
// The viewer's command line, as text rules that ask neither the file system
// nor the platform:
//
//   quorlane [--watch] [--probe] [FOLDER | GRIDFILE ...]
//   quorlane --series [--fps N] [--cache MB] [--inputs FILE] [--watch] [--probe] PATH...
//
// Without --series every argument but --watch, --probe, /? and --help is a path, as it
// always was. With it, --fps, --cache and --inputs take a value ("--fps 30"
// or "--fps=30"), "--" ends the options, and each PATH is a grid file, a
// folder or a pattern (data/series.h).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorlane {

constexpr int kDefaultFps = 10;
constexpr int kFastestFps = 120;
// The largest default step cache: 2 GiB.
constexpr uint64_t kLargestDefaultCache = uint64_t(2048) << 20;
// The largest --cache, in MB (2^20 bytes): 1 TiB.
constexpr uint64_t kLargestCacheMb = uint64_t(1) << 20;

struct ViewerOptions {
    bool help = false;    // /? or --help: the usage box, nothing else
    bool watch = false;   // --watch
    bool series = false;  // --series: one window for all the steps
    bool probe = false;   // --probe: a status bar reads the field under the pointer
    int fps = kDefaultFps;
    uint64_t cacheBytes = 0;         // --cache MB, else DefaultCacheBytes
    std::vector<std::string> paths;  // in the order given
    // --inputs FILE: the lists not yet read, each with how many paths come
    // before its own.
    struct InputList {
        std::string file;
        size_t at;
    };
    std::vector<InputList> lists;
};

// The step cache without --cache: a quarter of the physical memory, at most
// kLargestDefaultCache.
uint64_t DefaultCacheBytes(uint64_t physicalBytes);

// Reads the arguments that follow the program's name into `options`, for a
// machine with `physicalBytes` of memory. The empty string when they are
// usable (or /? or --help is among them), else the usage error, which names
// the option or the path.
std::string ParseViewerArguments(const std::vector<std::string>& args, uint64_t physicalBytes,
                                 ViewerOptions& options);

// Reads the paths that the list `file` names into `paths`: the empty string,
// or why the list cannot be read.
using ReadPathList =
    std::function<std::string(const std::string& file, std::vector<std::string>& paths)>;

// Puts the paths of each of options.lists into options.paths at its place.
// The empty string, or the usage error: a list that cannot be read, a path
// of a list with a wildcard in a folder component, or no path at all.
std::string ReadPathLists(ViewerOptions& options, const ReadPathList& read);

// The text of the usage box; a usage error is shown above it.
std::string ViewerUsage();
std::string UsageBoxText(const std::string& error);

}  // namespace quorlane
