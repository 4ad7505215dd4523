// Loading the grid file into the Grid with its ghost border.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include "data/grid.h"

namespace {

using std::string;
using Rows = std::vector<std::vector<float>>;

StartupResult Load(string text) { return LoadGridBytes(text.data(), text.size()); }

// The whole block, border included, one vector per row.
Rows Cells() {
    Rows rows;
    for (uint32_t j = 0; j < QntY2; ++j) rows.emplace_back(array + j * QntX2, array + (j + 1) * QntX2);
    return rows;
}

bool Empty() { return array == nullptr && QntX == 0 && QntY == 0 && QntX2 == 0 && QntY2 == 0; }

const string kExample = "3\n2\n1.0\n0.5\n10\n11\n12\n20\n21\n22\n";
const Rows kExampleRows = {{10, 10, 11, 12, 12}, {10, 10, 11, 12, 12}, {20, 20, 21, 22, 22}, {20, 20, 21, 22, 22}};

TEST(Grid, ExampleAndSpellingsThatReadAlike) {
    const string values = "10\n11\n12\n20\n21\n22\n";
    const string spellings[] = {
        kExample,
        "3 2 1.0 0.5\n" + values,
        "\n\n3\n\n2\t1.0\n\n\n0.5\n\n   \n  " + values,
        "3\r\n2\r\n1.0\r\n0.5\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22\r\n",
        "3\n2\n1.0\n0.5\n10\n11\n12\n20\n21\n22",                   // no final line feed
        kExample + "99\nnot a value\n\n",                           // extra lines
        kExample + "\x1a" "garbage",
        "3.9\n2abc\n1\n5e-1\n10 a\n11,5\n12\n+20\n 21\n22.0\n",      // prefixes
    };
    for (const string& s : spellings) {
        ASSERT_TRUE(Load(s).ok) << testing::PrintToString(s);
        EXPECT_EQ(Cells(), kExampleRows) << testing::PrintToString(s);
        EXPECT_TRUE(QntX == 3 && QntY == 2 && QntX2 == 5 && QntY2 == 4 && delX == 1.0f && delY == 0.5f &&
                    Xmax == 3.0f && Ymax == 1.0f);
    }
    // The field size is rounded once to a float from a double product.
    ASSERT_TRUE(Load("3 2 0.1 0.3\n1\n1\n1\n1\n1\n1\n").ok);
    EXPECT_TRUE(Xmax == float(3.0 * double(0.1f)) && Ymax == float(2.0 * double(0.3f)));
    FreeGrid();
    EXPECT_TRUE(Empty());
}

TEST(Grid, ValueLineQuirks) {
    const string long78 = "5" + string(76, ' ') + "6";  // 78 characters: one line read
    const struct { string text; std::vector<float> row; } cases[] = {
        {"1 1 2 2\n-4.25\n", {-4.25f, -4.25f, -4.25f}},
        {"2 1 1 1\n12.5 abc\n7,5\n", {12.5f, 12.5f, 7, 7}},
        {"3 1 1 1\n10\n\n11\n12\n", {10, 10, 0, 11, 11}},   // a blank line uses up a cell
        {"2 1 1 1\nabc\n-\n", {0, 0, 0, 0}},                 // no number: 0
        {"3 1 1 1\n" + long78 + "7\n9\n", {5, 5, 7, 9, 9}},  // an 80-character line in pieces
        {"2 1 1 1\n" + long78 + "\n9\n", {5, 5, 0, 0}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(c.text).ok) << c.text;
        EXPECT_EQ(Cells(), Rows(3, c.row)) << c.text;
    }
}

TEST(Grid, Failures) {
    const char *kError = "Error reading \"quorlane.dat\"", *kSize = "Invalid grid size in \"quorlane.dat\"",
               *kCell = "Invalid cell size in \"quorlane.dat\"";
    const string t80(80, '3');
    const struct { string text; const char* message; } cases[] = {
        // the file ends before the fourth token, or before the last value line
        {"", kError}, {" \n\n", kError}, {"3 2 1.0\n\n", kError}, {"3 2 1.0\x1a 0.5\n1\n", kError},
        {"3 2 1 1\n10\n11\n12\n20\n21\n", kError}, {"3 2 1 1\n10\n11\n12\n20\x1a\n21\n22\n", kError}, {"1 1 1 1", kError},
        // sizes below 1, or a block beyond 32 bits
        {"0 2 1 1\n", kSize}, {"3 0 1 1\n", kSize}, {"-1 2 1 1\n", kSize}, {"x 2 1 1\n", kSize}, {"3 .5 1 1\n", kSize},
        {"4294967297 1 1 1\n", kSize}, {"32766 32766 1 1\n", kSize}, {"1 357913940 1 1\n", kSize},
        // cell sizes not finite or not above 0; sizes are checked first
        {"3 2 0 1\n", kCell}, {"3 2 1 -0.5\n", kCell}, {"3 2 abc 1\n", kCell}, {"3 2 1 1e39\n", kCell},
        {"3 2 1e-50 1\n", kCell}, {"3 2 nan inf\n", kCell}, {"0 0 0 0\n", kSize},
        // tokens over 79 characters spoil their value
        {t80 + " 2 1 1\n", kSize}, {"3 " + t80 + " 1 1\n", kSize}, {"3 2 " + t80 + " 1\n", kCell},
        {"3 2 1 " + t80 + "\n", kCell}, {t80 + " 2 " + t80 + " 1\n", kSize},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(kExample).ok);  // the grid loaded before is released
        StartupResult r = Load(c.text);
        EXPECT_TRUE(!r.ok && r.status == 1 && Empty()) << testing::PrintToString(c.text);
        EXPECT_STREQ(r.message, c.message) << testing::PrintToString(c.text);
    }
    // 79-character tokens are still read.
    ASSERT_TRUE(Load(string(78, '0') + "1 1 " + string(74, '0') + "1.5e0 1\n7\n").ok);
    EXPECT_TRUE(QntX == 1 && delX == 1.5f);
}

TEST(Grid, LoadFromFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quorlane_grid_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const string path = (dir / "quorlane.dat").string(), dirPath = dir.string();
    for (const string& p : {path, dirPath}) {  // missing, and a directory
        StartupResult r = LoadGrid(p.c_str());
        EXPECT_TRUE(!r.ok && r.status == 1 && Empty());
        EXPECT_STREQ(r.message, "Cannot open \"quorlane.dat\"");
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("3\r\n2\r\n1.0\r\n0.5\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22", f);
    std::fclose(f);
    for (int k = 0; k < 2; ++k) {  // loading again releases the first block
        ASSERT_TRUE(LoadGrid(path.c_str()).ok);
        EXPECT_EQ(Cells(), kExampleRows);
    }
    FreeGrid();
    fs::remove_all(dir);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(_WIN32)
#define QUORLANE_NO_AS_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define QUORLANE_NO_AS_LIMIT 1
#endif
#endif

#ifndef QUORLANE_NO_AS_LIMIT
// Loads a 3.6 GB grid within 1 GiB of address space: 0 when that is reported.
int LoadUnderAddressLimit() {
    rlimit lim{size_t(1) << 30, size_t(1) << 30};
    setrlimit(RLIMIT_AS, &lim);
    StartupResult r = Load("30000 30000 1 1\n1\n");
    return !r.ok && r.status == 1 && Empty() && !std::strcmp(r.message, "Not enough memory for \"quorlane.dat\"") ? 0 : 2;
}

TEST(Grid, BlockThatCannotBeAllocated) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(LoadUnderAddressLimit()), testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
