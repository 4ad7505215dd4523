// The grid loader: the Grid and its ghost border from grid text, however it is spelled and
// read; header tokens that never end.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "load_support.h"

namespace quorlane {

namespace {

using std::string;

// The example in every spelling; blank, wordy and long value lines; short files, bad sizes and
// cell sizes, and header tokens over 79 characters fail, keeping no grid.
TEST(GridLoader, Files) {
    const string values = "10\n11\n12\n20\n21\n22\n", t80(80, '3');
    const string long78 = "5" + string(76, ' ') + "6";
    const struct {
        string grid;
        Strs texts;
    } groups[] = {
        {kDatGrid,
         {kDat, "3 2 1.0 0.5\n" + values, "\n\n3\n\n2\t1.0\n\n\n0.5\n\n   \n  " + values,
          "3\r\n2\r\n1.0\r\n0.5\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22", kDat + "99\nnot a value\n\n",
          kDat + "\x1a" + "garbage", "3.9\n2abc\n1\n5e-1\n10 a\n11,5\n12\n+20\n 21\n22.0\n"}},
        {"1x1 cells of 2x2, field 2x2: -4.25", {"1 1 2 2\n-4.25\n"}},
        {"2x1 cells of 1x1, field 2x1: 12.5 7", {"2 1 1 1\n12.5 abc\n7,5\n"}},
        {"3x1 cells of 1x1, field 3x1: 10 0 11", {"3 1 1 1\n10\n\n11\n12\n"}},
        {"2x1 cells of 1x1, field 2x1: 0 0", {"2 1 1 1\nabc\n-\n"}},
        {"3x1 cells of 1x1, field 3x1: 5 7 9", {"3 1 1 1\n" + long78 + "7\n9\n"}},
        {"2x1 cells of 1x1, field 2x1: 5 0", {"2 1 1 1\n" + long78 + "\n9\n"}},
        {"1x1 cells of 1.5x1, field 1.5x1: 7",
         {string(78, '0') + "1 1 " + string(74, '0') + "1.5e0 1\n7\n"}},
        {"fail: Error reading \"quorlane.dat\"",
         {"", " \n\n", "3 2 1.0\n\n", "3 2 1.0\x1a 0.5\n1\n", "1 1 1 1",
          "3 2 1 1\n10\n11\n12\n20\n21\n", "3 2 1 1\n10\n11\n12\n20\x1a\n21\n22\n"}},
        {"fail: Invalid grid size in \"quorlane.dat\"",
         {"0 2 1 1\n", "3 0 1 1\n", "-1 2 1 1\n", "x 2 1 1\n", "3 .5 1 1\n", "4294967297 1 1 1\n",
          "32766 32766 1 1\n", "1 357913940 1 1\n", "0 0 0 0\n", t80 + " 2 " + t80 + " 1\n"}},
        {"fail: Invalid cell size in \"quorlane.dat\"",
         {"3 2 0 1\n", "3 2 1 -0.5\n", "3 2 abc 1\n", "3 2 1 1e39\n", "3 2 1e-50 1\n",
          "3 2 nan inf\n"}},
    };
    for (const auto& group : groups)
        for (const string& text : group.texts)
            EXPECT_EQ(GridOf(text), group.grid) << testing::PrintToString(text);
}

// Random grid texts read in a random way, half into kept text space, give the samples of reading
// one line after another, or fail when the text runs out.
TEST(GridLoader, RandomTextsAsReadLineAfterLine) {
    std::mt19937 rng(11);
    GridTextBuffer kept;
    const std::vector<Reading> readings = Readings();
    const auto number = [&rng] {
        char b[40];
        const unsigned kind = rng() % 5;
        if (kind == 0) std::snprintf(b, sizeof b, "%d", int(rng() % 2001) - 1000);
        if (kind == 1)
            std::snprintf(b, sizeof b, "%.*f", int(rng() % 8), (int(rng() % 20001) - 10000) / 7.0);
        if (kind == 2) std::snprintf(b, sizeof b, "%.*e", int(rng() % 18), double(rng()) * 1e-5);
        if (kind == 3)
            std::snprintf(b, sizeof b, "%u.%04u", unsigned(rng() % 100), unsigned(rng() % 10000));
        return kind == 4 ? string(rng() % 2 ? "7,5 x" : "abc") : string(b);
    };
    for (int t = 0; t < 600; ++t) {
        const uint32_t nx = 1 + rng() % 9, ny = 1 + rng() % 9;
        string text = std::to_string(nx) + (rng() % 2 ? "\r\n" : " ") + std::to_string(ny) +
                      " 1 0.5\n" + string(rng() % 3, '\n');
        const size_t lines = nx * ny + rng() % 4;
        for (size_t k = 0; k < lines; ++k) {
            const unsigned kind = rng() % 10;
            string line = kind == 0   ? ""
                          : kind == 1 ? string(70 + rng() % 200, ' ') + number()
                                      : (rng() % 4 ? "" : "  ") + number();
            if (kind == 2) line += string(rng() % 160, rng() % 2 ? ' ' : '1');
            text += line + (rng() % 3 ? "\n" : "\r\n");
        }
        if (rng() % 4 == 0) text.insert(text.size() - rng() % (text.size() / 4 + 1), "\x1a");
        if (rng() % 4 == 0) text.pop_back();
        const Reading& how = readings[rng() % readings.size()];
        const std::vector<float> want = PlainSamples(text, size_t(nx) * ny);
        Grid g;
        MemorySource source(text.data(), text.size(), how.chunk);
        const LoadResult r =
            LoadGridFrom(g, source, Pool(how.threads),
                         {how.pieceBytes, how.pieces, rng() % 2 ? &kept : nullptr});
        ASSERT_EQ(r.ok, !want.empty()) << how << ": " << testing::PrintToString(text);
        if (!r.ok) {
            EXPECT_EQ(Failure(r), "fail: Error reading \"quorlane.dat\"");
            continue;
        }
        for (uint32_t j = 1; j <= ny; ++j)
            for (uint32_t i = 1; i <= nx; ++i)
                ASSERT_EQ(Bits(g.Cell(i, j)), Bits(want[(j - 1) * nx + i - 1]))
                    << i << "," << j << " " << how << ": " << testing::PrintToString(text);
    }
}

// Text after the values read for nothing: no more than one piece past the values is read.
TEST(GridLoader, ReadingStopsAfterTheValues) {
    for (size_t piece : {size_t(100), size_t(1) << 20})
        for (unsigned threads : {1u, 4u}) {
            TokenSource source(kDat + "9", '\n', TokenSource::kEndless, "", SIZE_MAX);
            Grid g;
            EXPECT_EQ(Described(LoadGridFrom(g, source, Pool(threads), {piece, 0}), g), kDatGrid);
            EXPECT_LE(source.Handed(), 4096 + piece) << piece << " " << threads;
        }
    // Pieces too large to hold are reported, not wrapped around.
    Grid g;
    MemorySource source(kDat.data(), kDat.size());
    EXPECT_EQ(Described(LoadGridFrom(g, source, Pool(2), {SIZE_MAX / 2, 3}), g), kNoMemory);
    // A load told to stop gives up, keeping no grid, and reads no further.
    const std::atomic<bool> stop{true};
    TokenSource endless(kDat + "9", '\n', TokenSource::kEndless, "", SIZE_MAX);
    EXPECT_FALSE(LoadGridFrom(g, endless, Pool(2), {100, 0, nullptr, &stop}).ok);
    EXPECT_FALSE(g.Loaded());
    EXPECT_LE(endless.Handed(), 4096u);
}

// The sanitizer's own reservations exceed the limit (the unit tests build with g++).
#ifndef __SANITIZE_ADDRESS__
// A 3.6 GB block within 1 GiB of address space is reported, not used.
TEST(GridLoader, BlockThatCannotBeAllocated) {
    // The child runs this test alone, not a copy of this process with its pools' threads gone.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const rlimit lim{size_t(1) << 30, size_t(1) << 30};
    EXPECT_EXIT((setrlimit(RLIMIT_AS, &lim),
                 std::exit(GridOf("30000 30000 1 1\n1\n") == kNoMemory ? 0 : 2)),
                testing::ExitedWithCode(0), "");
}
#endif

// A block beyond what a vector can index fails before anything is allocated (so under the
// sanitizers too) and leaves no grid, not even the one shaped before.
TEST(GridLoader, BlockBeyondAnyVector) {
    Grid g;
    ASSERT_TRUE(ShapeGrid(g, 2, 2, 1, 1));
    EXPECT_FALSE(ShapeGrid(g, 0xFFFFFFFDu, 0xFFFFFFFDu, 1, 1));
    EXPECT_TRUE(!g.Loaded() && g.columns == 0 && g.rows == 0);
}

const string kValues = "10\n11\n12\n20\n21\n22\n";
const string kSize = "fail: Invalid grid size in \"quorlane.dat\"";
const string kCell = "fail: Invalid cell size in \"quorlane.dat\"";

// Long and endless tokens of digits, letters or NUL bytes in each place of the header give the
// report of their field holding 0, read no further than the 80th character, even at the end.
TEST(GridLoader, LongHeaderTokensReportedAtOnce) {
    const struct {
        string before, after, report;
    } cases[] = {
        {"", " 2 1 1\n" + kValues, kSize},
        {"3 ", " 1 1\n" + kValues, kSize},
        {"3 2 ", " 1\n" + kValues, kCell},
        {"3\r\n2\r\n1\r\n", "\r\n" + kValues, kCell},
        {"0 2 ", " 1\n" + kValues, kSize},
        {"40000 40000 1 ", "\n" + kValues, kSize},  // a block beyond 32 bits
        {"", "", kSize},
        {"3 2 ", "", kCell},
    };
    for (const auto& c : cases)
        for (char fill : {'7', 'x', '\0'})
            for (size_t length : {size_t(80), size_t(200), size_t(10000000), TokenSource::kEndless})
                for (size_t chunk : {size_t(1), size_t(7), size_t(4096)}) {
                    TokenSource source(c.before, fill, length, c.after, chunk);
                    Grid g;
                    EXPECT_EQ(Described(LoadGridFrom(g, source, Pool(2)), g), c.report)
                        << testing::PrintToString(c.before) << " then " << length << " of "
                        << int(fill) << " in chunks of " << chunk;
                    EXPECT_LE(source.Handed(), c.before.size() + 80 + 4096);
                }
}

}  // namespace

}  // namespace quorlane
