// The viewer's command line.
#include "viewer/rules/viewer_options.h"

#include <algorithm>

#include "common/name_pattern.h"
#include "common/names.h"
#include "common/paths.h"
#include "common/text.h"

namespace quorlane {

namespace {

// A whole number of decimal digits alone, at most `largest`.
bool ParseWhole(const std::string& text, uint64_t largest, uint64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = uint64_t(c - '0');
        if (value > (largest - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

std::string PathError(const std::string& path) {
    return WildcardInFolder(path) ? Quoted(path) +
                                        ": * and ? may stand in the last component of a path "
                                        "only, not in a folder's name"
                                  : std::string();
}

// Reads the series' options and paths.
std::string ParseSeries(const std::vector<std::string>& args, ViewerOptions& options) {
    bool optionsEnd = false;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (optionsEnd || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            std::string wrong = PathError(a);
            if (!wrong.empty()) return wrong;
            options.paths.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnd = true;
        } else if (a == "--series" || a == "--watch" || a == "--probe") {
            // read before
        } else if (const std::string name = a.substr(0, a.find('='));
                   name == "--fps" || name == "--cache" || name == "--inputs") {
            // "--fps=N" or "--fps N", as the exporter takes its options
            const bool joined = name.size() < a.size();
            if (!joined && k + 1 == args.size()) return a + " needs a value";
            const std::string value = joined ? a.substr(name.size() + 1) : args[++k];
            uint64_t n = 0;
            if (name == "--inputs") {
                if (value.empty()) return "--inputs needs a file that lists paths";
                options.lists.push_back({value, options.paths.size()});
            } else if (name == "--fps") {
                if (!ParseWhole(value, kFastestFps, n) || n < 1)
                    return "--fps " + Quoted(value) + ": the steps a second are a whole number " +
                           "from 1 to " + std::to_string(kFastestFps);
                options.fps = int(n);
            } else {
                if (!ParseWhole(value, kLargestCacheMb, n))
                    return "--cache " + Quoted(value) + ": the cache's size is a whole number " +
                           "of MB from 0 to " + std::to_string(kLargestCacheMb);
                options.cacheBytes = n << 20;
            }
        } else {
            return "Unknown option " + Quoted(a);
        }
    }
    if (options.paths.empty() && options.lists.empty())
        return "--series needs a PATH or --inputs FILE";
    return std::string();
}

}  // namespace

uint64_t DefaultCacheBytes(uint64_t physicalBytes) {
    return std::min(physicalBytes / 4, kLargestDefaultCache);
}

std::string ParseViewerArguments(const std::vector<std::string>& args, uint64_t physicalBytes,
                                 ViewerOptions& options) {
    options = ViewerOptions();
    options.cacheBytes = DefaultCacheBytes(physicalBytes);
    // With --series, "--" ends the options; without it every argument counts,
    // as it always has.
    const auto optionsEnd = std::find(args.begin(), args.end(), std::string("--"));
    options.series = std::find(args.begin(), optionsEnd, std::string("--series")) != optionsEnd;
    for (auto a = args.begin(); a != (options.series ? optionsEnd : args.end()); ++a) {
        options.help = options.help || *a == "/?" || *a == "--help";
        options.watch = options.watch || *a == "--watch";
        options.probe = options.probe || *a == "--probe";
    }
    if (options.help) return std::string();
    if (options.series) return ParseSeries(args, options);
    for (const std::string& a : args)
        if (a != "--watch" && a != "--probe") options.paths.push_back(a);
    return std::string();
}

std::string ReadPathLists(ViewerOptions& options, const ReadPathList& read) {
    std::vector<std::string> paths;
    size_t given = 0;  // the command line's paths taken so far
    for (const ViewerOptions::InputList& list : options.lists) {
        paths.insert(paths.end(), options.paths.begin() + ptrdiff_t(given),
                     options.paths.begin() + ptrdiff_t(list.at));
        given = list.at;
        std::vector<std::string> listed;
        const std::string why = read(list.file, listed);
        if (!why.empty()) return "--inputs " + Quoted(list.file) + ": " + why;
        for (std::string& path : listed) {
            const std::string wrong = PathError(path);
            if (!wrong.empty()) return "--inputs " + Quoted(list.file) + ": " + wrong;
            paths.push_back(std::move(path));
        }
    }
    paths.insert(paths.end(), options.paths.begin() + ptrdiff_t(given), options.paths.end());
    options.paths = std::move(paths);
    options.lists.clear();
    return options.paths.empty() ? "--series: the lists name no PATH" : std::string();
}

std::string ViewerUsage() {
    const std::string command = kViewerCommand, grid = kGridFileName, settings = kSettingsFileName;
    return "Usage: " + command + " [--watch] [FOLDER | GRIDFILE ...]\n" + "       " + command +
           " --series [--fps N] [--cache MB] [--inputs FILE] [--watch] PATH...\n\n"
           "FOLDER: shows FOLDER\\" +
           grid + " with the settings of FOLDER\\" + settings + ".\n" +
           "GRIDFILE: shows that grid file (any name) with the " + settings + " beside it.\n" +
           "Several paths open one window each. Dropping folders or grid files on the\n"
           "program or a shortcut to it passes their paths.\n\n"
           "Without a path: " +
           grid + " and " + settings + " in the working directory.\n\n" +
           "--watch: each window follows its two files and shows them again whenever\n"
           "they change; while they cannot be read, the last picture stays and the\n"
           "title says why.\n\n"
           "--series: one window for all the steps the paths name, in the order given:\n"
           "a grid file is one step, a folder every *.dat file in it, a pattern such as\n"
           "run42\\step_*.dat (* and ? in the last component) every file it matches, in\n"
           "natural order (step_2 before step_10). Keys: Right/Left one step, Home/End\n"
           "the first/last, Page Down/Page Up a tenth, Space plays or pauses, Ctrl+G\n"
           "goes to a step; the mouse wheel steps too. With --watch new steps join.\n"
           "--fps N: steps a second while playing (1 to 120, default 10).\n"
           "--cache MB: memory for steps kept (default a quarter of the memory, at\n"
           "most 2048).\n"
           "--inputs FILE: more paths, one a line, in that order.\n\n"
           "--probe: a status bar below the picture shows the position, value and cell\n"
           "under the pointer and the grid's range; Ctrl+C copies it as one line.";
}

std::string UsageBoxText(const std::string& error) {
    return error.empty() ? ViewerUsage() : error + "\n\n" + ViewerUsage();
}

}  // namespace quorlane
