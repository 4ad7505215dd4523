// The steps of a series from the paths a user gives: the natural order of names, name patterns,
// and the expansion of files, folders and patterns over a fake file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/name_order.h"
#include "common/name_pattern.h"
#include "data/series.h"

namespace quorlane {

namespace {

const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;

// A fold beyond ASCII, as a system's table folds: É, Ω and Σ to their small letters.
std::string FoldSomeLetters(const std::string& name) {
    std::string s = FoldAsciiCase(name);
    for (const auto& [big, small] : std::map<std::string, std::string>{
             {"\u00c9", "\u00e9"}, {"\u03a9", "\u03c9"}, {"\u03a3", "\u03c3"}})
        for (size_t at; (at = s.find(big)) != std::string::npos;) s.replace(at, big.size(), small);
    return s;
}

// Each row is a list in its natural order; any other order of it sorts back to it.
TEST(SeriesPaths, NaturalOrder) {
    const std::vector<std::vector<std::string>> orders = {
        {"step_2.dat", "step_10.dat", "step_100.dat"},
        {"t9.dat", "t9.25.dat", "t9.5.dat", "t9.50.dat", "t10.dat", "t10.5"},  // times
        {"t1.5", "t1.50.0", "t1.5.1", "t1.6", "v1.10", "v1.9"},
        {"a0.dat", "a00.dat", "a001.dat", "a01.dat", "a1.dat", "a2.dat"},  // ties: the plain text
        {"s99999999999999999999.dat", "s100000000000000000000.dat"},       // beyond 64 bits
        {"s00000000000000000000000000009", "s10"},
        {"A.dat", "a.dat", "b.dat", "B10.dat", "b10.dat"},  // case folded, ties by bytes
        {"run", "run1", "run_1", "runa"},                   // shorter first, digits before letters
        {"alpha", "beta", "gamma"},
        {"x7y2", "x07y3", "x7y10", "x8"},  // leading zeros matter only in a tie
        {"\u00c9t\u00e9 2", "\u00e9t\u00e9 10", "\u03a9 1", "\u03c9 3"},  // folded beyond ASCII
    };
    for (const auto& sorted : orders) {
        std::vector<std::string> names(sorted.rbegin(), sorted.rend());
        std::rotate(names.begin(), names.begin() + 1, names.end());
        std::vector<std::string> got;
        for (size_t k : NaturalOrder(names, FoldSomeLetters)) got.push_back(names[k]);
        EXPECT_EQ(got, sorted);
        for (size_t k = 0; k + 1 < sorted.size(); ++k) {
            EXPECT_TRUE(NaturalLess(sorted[k], sorted[k + 1], FoldSomeLetters)) << sorted[k];
            EXPECT_FALSE(NaturalLess(sorted[k + 1], sorted[k], FoldSomeLetters)) << sorted[k];
        }
    }
    EXPECT_FALSE(NaturalLess("same", "same"));
    EXPECT_EQ(CompareFoldedNaturally("a007b", "a7b"), 0);
}

TEST(SeriesPaths, Patterns) {
    const struct {
        const char *name, *pattern;
        bool matches;
    } rows[] = {
        {"step_0017.dat", "step_*.dat", true},
        {"STEP_1.DAT", "step_*.dat", true},
        {"step_.dat", "step_*.dat", true},
        {"step_1.dat.part", "step_*.dat", false},
        {"step_1.dat", "step_?.dat", true},
        {"step_10.dat", "step_?.dat", false},
        {"\u00e9.dat", "?.dat", true},
        {"\u03a9\u00e9.dat", "??.dat", true},
        {"\u03a9\u00e9.dat", "?.dat", false},
        {"\u00c9.dat", "\u00e9*", true},
        {"abc", "*", true},
        {"", "*", true},
        {"", "?", false},
        {"abcabd", "*abd", true},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "*a*a*a*a*a*a*a*a*a*b", false},
        {"mississippi", "m*iss*ppi", true},
        {"mississippi", "m*iss*ppx", false},
        {"x.dat", "*.*", true},
        {"xdat", "*.*", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(MatchesNamePattern(r.name, r.pattern, FoldSomeLetters), r.matches)
            << r.name << " ~ " << r.pattern;
    const struct {
        const char* path;
        PathStyle style;
        bool inFolder;
    } paths[] = {
        {"run42/step_*.dat", P, false},
        {"run*/step_1.dat", P, true},
        {"a/b?/c*", P, true},
        {"runs\\*\\x.dat", W, true},
        {"runs\\*\\x.dat", P, false},
        {"runs/*/", P, false},
        {"\\\\?\\C:\\r\\s*.dat", W, false},
        {"\\\\?\\C:\\r*\\s.dat", W, true},
        {"*.dat", W, false},
    };
    for (const auto& p : paths) EXPECT_EQ(WildcardInFolder(p.path, p.style), p.inFolder) << p.path;
}

// A file system in memory: files (with their stamps) and the folders that hold them.
struct FakeFiles {
    std::map<std::string, FileStamp> files;
    std::set<std::string> folders{""};
    mutable int listings = 0, questions = 0;

    void Add(const std::string& path, uint64_t size = 10) {
        files[path] = {true, size, 1};
        for (size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1))
            folders.insert(path.substr(0, at));
    }
    SeriesFileSystem Interface() const {
        SeriesFileSystem fs;
        fs.facts = [this](const std::string& path) {
            ++questions;
            PathFacts f;
            if (folders.count(path)) f.kind = PathKind::Folder;
            if (files.count(path)) f = {PathKind::File, files.at(path)};
            return f;
        };
        fs.list = [this](const std::string& folder, std::vector<FolderEntry>& entries) {
            ++listings;
            // "run" from a folder given, "run/" from a pattern's
            const std::string f = folder.substr(0, folder.find_last_not_of('/') + 1);
            if (!folders.count(f)) return false;
            const std::string prefix = f.empty() ? f : f + "/";
            auto child = [&](const std::string& path) {
                return path.compare(0, prefix.size(), prefix) == 0 && path != f &&
                       path.find('/', prefix.size()) == std::string::npos;
            };
            for (const auto& [path, stamp] : files)
                if (child(path)) entries.push_back({path.substr(prefix.size()), false, stamp});
            for (const std::string& path : folders)
                if (!path.empty() && child(path))
                    entries.push_back({path.substr(prefix.size()), true, {}});
            std::reverse(entries.begin(), entries.end());  // no help from the listing's order
            return true;
        };
        fs.folderName = [](const std::string&) { return std::string("work"); };
        return fs;
    }
};

TEST(SeriesPaths, Expansion) {
    FakeFiles disk;
    for (const char* f : {"run/step_10.dat", "run/step_2.dat", "run/Step_1.DAT", "run/notes.txt",
                          "run/quorlane.ini", "run/step_3.dat.part", "run/sub/step_1.dat",
                          "b/quorlane.dat", "b/quorlane.ini", "c/x.dat", "quorlane.dat",
                          "e/notes.txt", "t/t10.dat", "t/t9.5.dat", "t/sub.dat/inner.dat"})
        disk.Add(f);
    const struct {
        std::vector<std::string> paths;
        std::vector<std::string> steps;  // grid path, then the name shown
        const char* failure;
    } rows[] = {
        {{"run"}, {"run/Step_1.DAT", "run/step_2.dat", "run/step_10.dat"}, ""},
        {{"run/step_*.dat"}, {"run/Step_1.DAT", "run/step_2.dat", "run/step_10.dat"}, ""},
        {{"run/*"},
         {"run/notes.txt", "run/Step_1.DAT", "run/step_2.dat", "run/step_3.dat.part",
          "run/step_10.dat", "run/sub/step_1.dat"},
         ""},
        {{"run/step_?.dat", "c/x.dat", "run/step_2.dat"},
         {"run/Step_1.DAT", "run/step_2.dat", "c/x.dat", "run/step_2.dat"},
         ""},
        {{"t"}, {"t/t9.5.dat", "t/t10.dat"}, ""},  // a folder named *.dat is no step
        {{"t/*"}, {"t/sub.dat/inner.dat", "t/t9.5.dat", "t/t10.dat"}, ""},
        {{"gone/x.dat", "c"}, {"gone/x.dat", "c/x.dat"}, ""},  // reported when loaded
        {{"run/step_*.bin"}, {}, "No grid file matches \"run/step_*.bin\""},
        {{"run", "gone/*.dat"}, {}, "No grid file matches \"gone/*.dat\""},
        {{"e"}, {}, "No grid file in \"e\""},
        {{"e/*.dat"}, {}, "No grid file matches \"e/*.dat\""},
        {{"e/*"}, {"e/notes.txt"}, ""},
        {{"r*n/step_1.dat"}, {}, "* or ? in a folder's name is not supported: \"r*n/step_1.dat\""},
    };
    for (const auto& r : rows) {
        std::vector<SeriesStep> steps = {SeriesStep()};
        const LoadResult got = ExpandSeries(r.paths, disk.Interface(), steps, P);
        EXPECT_EQ(got.message, r.failure) << r.paths[0];
        std::vector<std::string> grids;
        for (const SeriesStep& s : steps) grids.push_back(s.files.gridPath);
        EXPECT_EQ(grids, r.steps) << r.paths[0];
    }
    // Names and settings files: a folder's quorlane.dat is named by its folder, with the user's
    // separators; the settings stamp comes with the listing.
    disk.files["b/quorlane.ini"].size = 77;
    const struct {
        const char* path;
        PathStyle style;
        const char* files;  // grid|settings|name|stem
    } named[] = {
        {"b", P, "b/quorlane.dat|b/quorlane.ini|b|b"},
        {"b/quorlane.dat", P, "b/quorlane.dat|b/quorlane.ini|b|b"},
        {"quorlane.dat", P, "quorlane.dat|quorlane.ini|work|work"},
        {"run/step_1?.dat", P, "run/step_10.dat|run/quorlane.ini|step_10.dat|step_10"},
        {"c\\x.dat", W, "c\\x.dat|c\\quorlane.ini|x.dat|x"},
    };
    for (const auto& n : named) {
        std::vector<SeriesStep> steps;
        ASSERT_TRUE(ExpandSeries({n.path}, disk.Interface(), steps, n.style).ok) << n.path;
        ASSERT_EQ(steps.size(), 1u) << n.path;
        const InputFiles& f = steps[0].files;
        EXPECT_EQ(f.gridPath + "|" + f.settingsPath + "|" + f.name + "|" + f.stem, n.files);
    }
    std::vector<SeriesStep> steps;
    ASSERT_TRUE(ExpandSeries({"b/quorlane.dat", "b"}, disk.Interface(), steps, P).ok);
    EXPECT_EQ(steps[0].settings.size, 77u);  // asked for
    EXPECT_EQ(steps[1].settings.size, 77u);  // from the listing
}

// 100,000 unpadded step files in a shuffled listing: one listing, one question, natural order, and
// far quicker than loading anything.
TEST(SeriesPaths, LongSeriesIsNamesOnly) {
    FakeFiles disk;
    const size_t n = 100000;
    for (size_t k = n; k >= 1; --k)
        disk.Add("run/step_" + std::to_string((k * 7919) % n + 1) + ".dat");
    disk.Add("run/quorlane.ini");
    const SeriesFileSystem fs = disk.Interface();
    std::vector<SeriesStep> steps;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ExpandSeries({"run/step_*.dat"}, fs, steps, P).ok);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(steps.size(), n);
    for (size_t k = 0; k < n; k += 997)
        EXPECT_EQ(steps[k].files.name, "step_" + std::to_string(k + 1) + ".dat");
    EXPECT_EQ(disk.listings, 1);
    EXPECT_EQ(disk.questions, 1);
    EXPECT_LT(seconds, 5.0);  // about 0.1 s natively; generous for the sanitizers
}

}  // namespace

}  // namespace quorlane
