// The viewer's command line: without --series exactly the paths it always took; with it the
// series' options, each usage error naming its option, and the lists of --inputs.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "viewer/rules/viewer_options.h"

namespace quorlane {

namespace {

constexpr uint64_t MiB = uint64_t(1) << 20, GiB = uint64_t(1) << 30;

TEST(ViewerOptions, Arguments) {
    // Each row: the arguments, then the options read as "FLAGS FPS CACHE-MiB PATHS LISTS" with
    // the flags h (help), w (watch), s (series), p (probe) and the paths joined by '|'.
    const std::pair<std::vector<std::string>, const char*> usable[] = {
        {{}, " 10 2048  0"},
        {{"a", "--watch", "b"}, "w 10 2048 a|b 0"},
        // Without --series the series' options are paths, as they always were.
        {{"--fps", "0", "--cache"}, " 10 2048 --fps|0|--cache 0"},
        {{"--series", "run/step_*.dat"}, "s 10 2048 run/step_*.dat 0"},
        {{"a", "--fps", "120", "--series", "--cache", "0", "--watch", "b"}, "ws 120 0 a|b 0"},
        {{"--series", "--fps", "1", "--cache", "1048576", "x"}, "s 1 1048576 x 0"},
        {{"--series", "--fps", "007", "--", "--fps", "--watch", "/?"},
         "s 7 2048 --fps|--watch|/? 0"},
        {{"--", "--series", "--watch"}, "w 10 2048 --|--series 0"},
        {{"--series", "--inputs", "l.txt", "a", "--inputs", "--watch"}, "ws 10 2048 a 2"},
        {{"--series", "--fps=30", "--cache=64", "--inputs=l.txt", "a"}, "s 30 64 a 1"},
        {{"--series", "--fps", "0", "/?"}, "hs 10 2048  0"},
        {{"--probe", "a", "--watch"}, "wp 10 2048 a 0"},
        {{"--series", "--probe", "a", "--", "--probe"}, "sp 10 2048 a|--probe 0"},
    };
    for (const auto& [args, read] : usable) {
        ViewerOptions o;
        EXPECT_EQ(ParseViewerArguments(args, 16 * GiB, o), "") << read;
        std::string got = std::string(o.help ? "h" : "") + (o.watch ? "w" : "") +
                          (o.series ? "s" : "") + (o.probe ? "p" : "") + " " +
                          std::to_string(o.fps) + " " + std::to_string(o.cacheBytes / MiB) + " ";
        for (size_t k = 0; k < o.paths.size(); ++k) got += (k ? "|" : "") + o.paths[k];
        EXPECT_EQ(got + " " + std::to_string(o.lists.size()), read);
    }
    const struct {
        std::vector<std::string> args;
        const char* error;
    } wrong[] = {
        {{"--series", "--fps", "0", "a"},
         "--fps \"0\": the steps a second are a whole number from 1 to 120"},
        {{"--series", "--fps", "abc", "a"}, "--fps \"abc\": the steps a second"},
        {{"--series", "--fps", "121", "a"}, "--fps \"121\""},
        {{"--series", "--fps", "99999999999999999999999", "a"}, "--fps \"9999"},
        {{"--series", "--fps", "+5", "a"}, "--fps \"+5\""},
        {{"--series", "a", "--fps"}, "--fps needs a value"},
        {{"--series", "--fps=", "a"}, "--fps \"\": the steps a second"},
        {{"--series", "--inputs=", "a"}, "--inputs needs a file"},
        {{"--series", "--cache", "-1", "a"},
         "--cache \"-1\": the cache's size is a whole number of MB from 0 to 1048576"},
        {{"--series", "--cache", "1048577", "a"}, "--cache \"1048577\""},
        {{"--series", "--cache", "1.5", "a"}, "--cache \"1.5\""},
        {{"--series", "--fsp", "30", "a"}, "Unknown option \"--fsp\""},
        {{"--series"}, "--series needs a PATH or --inputs FILE"},
        {{"--series", "runs*/step_1.dat"},
         "\"runs*/step_1.dat\": * and ? may stand in the last component"},
        {{"--series", "a", "r?/*.dat"}, "\"r?/*.dat\": * and ? may stand"},
    };
    for (const auto& w : wrong) {
        ViewerOptions o;
        const std::string error = ParseViewerArguments(w.args, 16 * GiB, o);
        EXPECT_EQ(error.compare(0, std::string(w.error).size(), w.error), 0) << error;
        EXPECT_NE(UsageBoxText(error).find(
                      error + "\n\nUsage: quorlane [--watch] [FOLDER | GRIDFILE ...]\n"),
                  std::string::npos);
    }
    // A quarter of the memory, at most 2 GiB.
    EXPECT_EQ(DefaultCacheBytes(4 * GiB), GiB);
    EXPECT_EQ(DefaultCacheBytes(8 * GiB + 4), 2 * GiB);
    EXPECT_EQ(DefaultCacheBytes(64 * GiB), 2 * GiB);
    EXPECT_EQ(DefaultCacheBytes(1023), 255u);
    EXPECT_EQ(ViewerUsage().find("--series"), ViewerUsage().find('\n') + 17);
}

TEST(ViewerOptions, Lists) {
    const std::map<std::string, std::vector<std::string>> lists = {
        {"one.txt", {"s/1.dat", "s/2.dat"}}, {"empty.txt", {}}, {"bad.txt", {"ok", "s*/x.dat"}}};
    auto read = [&](const std::string& file, std::vector<std::string>& paths) {
        const auto l = lists.find(file);
        if (l == lists.end()) return std::string("cannot be read");
        paths = l->second;
        return std::string();
    };
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> paths;
        const char* error;
    } rows[] = {
        {{"a", "--inputs", "one.txt", "b", "--inputs", "one.txt", "c"},
         {"a", "s/1.dat", "s/2.dat", "b", "s/1.dat", "s/2.dat", "c"},
         ""},
        {{"--inputs", "one.txt", "--inputs", "empty.txt", "--inputs", "one.txt"},
         {"s/1.dat", "s/2.dat", "s/1.dat", "s/2.dat"},
         ""},
        {{"--inputs", "empty.txt"}, {}, "--series: the lists name no PATH"},
        {{"a", "--inputs", "gone.txt"}, {}, "--inputs \"gone.txt\": cannot be read"},
        {{"--inputs", "bad.txt"}, {}, "--inputs \"bad.txt\": \"s*/x.dat\": * and ? may stand"},
    };
    for (const auto& r : rows) {
        std::vector<std::string> args = r.args;
        args.insert(args.begin(), "--series");
        ViewerOptions o;
        ASSERT_EQ(ParseViewerArguments(args, GiB, o), "");
        const std::string error = ReadPathLists(o, read);
        EXPECT_EQ(error.compare(0, std::string(r.error).size(), r.error), 0) << error;
        if (error.empty()) {
            EXPECT_EQ(o.paths, r.paths);
        }
    }
}

}  // namespace

}  // namespace quorlane
