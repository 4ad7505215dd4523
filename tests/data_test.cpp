// Start-up loading: the text-reading rules, the Display settings and the Grid with its ghost
// border.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "data/grid.h"
#include "data/settings.h"
#include "data/textread.h"

namespace {

using std::string;
using Strs = std::vector<string>;
const float kInf = INFINITY;
uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

// Carriage returns are dropped, Ctrl-Z ends the file, a line read takes at most 78 characters.
TEST(TextRead, LineReads) {
    const string x77(77, 'x'), x78(78, 'x'), y78(78, 'y');
    const struct {
        string in;
        Strs lines;
    } cases[] = {{"", {}},
                 {"\r\r\r", {}},
                 {"\x1a\n5\n", {}},
                 {"1\n\n2", {"1\n", "\n", "2"}},
                 {"a\r\nb\rc\r\n", {"a\n", "bc\n"}},
                 {"1\r\n2\r\x1a\r\n3", {"1\n", "2"}},
                 {string("a\0b\r\n", 5), {string("a\0b\n", 4)}},
                 {x77 + "\n", {x77 + "\n"}},
                 {x78 + "\n5\n", {x78, "\n", "5\n"}},
                 {string(200, 'y'), {y78, y78, string(44, 'y')}}};
    for (auto c : cases) {
        TextIn in = OpenText(c.in.data(), c.in.size());
        Strs got;
        for (std::string_view l; ReadLine(in, l);) got.emplace_back(l);
        EXPECT_EQ(got, c.lines) << testing::PrintToString(c.in);
    }
}

// Prefix conversions: integers saturate (F8); reals round to the nearest float (ties to even),
// beyond it to infinity.
TEST(TextRead, Conversions) {
    const struct {
        const char* in;
        int32_t out;
    } ints[] = {{"", 0},
                {"abc", 0},
                {"  12xyz", 12},
                {"+7", 7},
                {"-3.9", -3},
                {" \t\v\f\r\n 5", 5},
                {"- 5", 0},
                {"+-5", 0},
                {"1e3", 1},
                {"0x10", 0},
                {"000000000000000000012", 12},
                {"2147483647", INT32_MAX},
                {"2147483648", INT32_MAX},
                {"-2147483648", INT32_MIN},
                {"-2147483649", INT32_MIN},
                {"18446744073709551617", INT32_MAX}};
    for (const auto& c : ints) EXPECT_EQ(IntPrefix(c.in), c.out) << c.in;
    EXPECT_EQ(IntPrefix(std::string_view("1\0"
                                         "2",
                                         3)),
              1);
    const struct {
        const char* in;
        float out;
    } reals[] = {{"abc", 0},
                 {".", 0},
                 {"+.e5", 0},
                 {"nan", 0},
                 {"-infinity", 0},
                 {"INF", 0},
                 {"0x1p3", 0},
                 {"7,5", 7},
                 {"  -2.5\n", -2.5f},
                 {"+.5", 0.5f},
                 {"5.", 5},
                 {"1.5.5", 1.5f},
                 {"1e", 1},
                 {"1e+", 1},
                 {"1e-x", 1},
                 {"2E2", 200},
                 {"-0", -0.0f},
                 {"16777217", 16777216},
                 {"16777219", 16777220},
                 {"1.000000059604644775390625", 1},
                 {"1.00000005960464477539062500001", 1.00000012f},
                 {"3.4028235e38", 3.4028235e38f},
                 {"00000000000000000001e-45", 1.4e-45f},
                 {"7.0064923216240853546186479164495806564014e-46", 1.4e-45f},
                 {"7.006492321624085354618647916449580656401e-46", 0},
                 {"3.4028236e38", kInf},
                 {"-1e39", -kInf},
                 {"1234567890123456789012345678901234567890", kInf},
                 {"1e999999999999", kInf},
                 {"-0.00001e999999999999999999", -kInf},
                 {"-1e-50", -0.0f},
                 {"100000e-999999999999", 0},
                 {"0e999999999999", 0}};
    for (const auto& c : reals) EXPECT_EQ(Bits(RealPrefix(c.in)), Bits(c.out)) << c.in;
    EXPECT_EQ(RealPrefix(std::string_view("3\0"
                                          "7",
                                          3)),
              3.0f);
    std::mt19937 rng(
        20240611);  // decimal texts of every magnitude round as the C library's conversion does
    for (int k = 0; k < 20000; ++k) {
        string s = rng() & 1 ? "-" : "";
        const int digits = 1 + int(rng() % 20), point = int(rng() % (digits + 1));
        for (int d = 0; d < digits; ++d)
            s += (d == point ? "." : "") + string(1, char('0' + rng() % 10));
        s += "e" + std::to_string(int(rng() % 100) - 60);
        EXPECT_EQ(Bits(RealPrefix(s)), Bits(std::strtof(s.c_str(), nullptr))) << s;
    }
}

const Strs kIni = {"0.0", "100.0", "0",  "255", "0",  "0",           "255", "0", "640",
                   "480", "20",    "30", "20",  "10", "Temperature", "1",   "1"};
const string kIniValues =
    "0 100 0 255 0 0 255 0 640 480 20 30 20 10 Temperature 1 1 | 100 255 0 -255";
string Join(const Strs& lines, const char* eol = "\n") {
    string s;
    for (const string& l : lines) s += l + eol;
    return s;
}
// The settings example with `count` lines from line n (from 1) replaced by `text`.
string With(size_t n, const string& text, size_t count = 1) {
    Strs l = kIni;
    l.erase(l.begin() + n - 1, l.begin() + n - 1 + count);
    l.insert(l.begin() + n - 1, text);
    return Join(l);
}
string Failure(StartupResult r) {
    return "fail " + std::to_string(r.status) + ": " + r.message;
}
// Every setting and derived value in the file's order, or the failure.
string Described(StartupResult r) {
    std::ostringstream o;
    if (!r.ok) return Failure(r);
    o << Fmin << ' ' << Fmax << ' ' << minRed << ' ' << maxRed << ' ' << minGreen << ' ' << maxGreen
      << ' ' << minBlue << ' ' << maxBlue << ' ' << Width << ' ' << Height << ' ' << Band << ' '
      << Xmargin << ' ' << Ymargin << ' ' << intervals << ' ' << Label << ' ' << int(clipping)
      << ' ' << int(color) << " | " << dFF << ' ' << dRed << ' ' << dGreen << ' ' << dBlue;
    return o.str();
}

// The seventeen-line example in every spelling; values by line position (unsigned wrap, saturation
// F8, the switches' low 8 bits, the caption's first word cut to 49 characters F7); fewer lines fail
// with status 1.
TEST(Settings, Files) {
    const string ex = Join(kIni), six = Join(Strs(kIni.begin(), kIni.end() - 1)),
                 err = "fail 1: Error reading \"quorlane.ini\"";
    const string a49(49, 'a'),
        x80 = "1.5" + string(75, ' ') + "25";  // two line reads: every later setting moves down
    const struct {
        string text, values;
    } cases[] = {
        // values: the whole listing or a part of it
        {ex, kIniValues},
        {Join(kIni, "\r\n"), kIniValues},
        {ex.substr(0, ex.size() - 1), kIniValues},
        {ex + "5\nextra\n\x1a", kIniValues},
        {With(1, "  0.0 lowest value"), kIniValues},
        {With(1, x80), "1.5 25 100 0 255 0 0 255 0 640 480 20 30 20 10 0 1 | 23.5 -100 -255 255"},
        {With(1, "-3e38\n3e38\n2147483647\n-2147483648", 4),
         "-3e+38 3e+38 2147483647 -2147483648 0 0 255 0 640 480 20 "
         "30 20 10 Temperature 1 1 | inf 1 0 -255"},
        {Join(Strs(17, "")),
         "0 0 0 0 0 0 0 0 0 0 0 0 0 0  0 0 | 0 0 0 0"},  // nothing kept from the load before
        {"", err},
        {six, err},
        {six.substr(0, six.size() - 1), err},
        {six + "\x1a"
               "1\n",
         err},
        {With(9, "-1"), " 0 4294967295 480 "},
        {With(10, "4294967296"), " 640 2147483647 20 "},
        {With(4, ""), "0 100 0 0 0 0 255"},
        {With(3, "99999999999"), "0 100 2147483647 255 0"},
        {With(16, "2"), "Temperature 2 1 |"},
        {With(16, "-255"), "Temperature 1 1 |"},
        {With(17, "256"), "Temperature 1 0 |"},
        {With(15, "Depth (m)"), " 10 Depth 1 1"},
        {With(15, "   "), " 10  1 1"},
        {With(15, a49 + "a"), " " + a49 + " 1"},
        {With(15, a49 + " c"), " " + a49 + " 1"},
        {With(1, "1e39"), "inf 100 0 255"},
        {With(2, "7,5"), "0 7 0 255"}};
    for (const auto& c : cases)
        EXPECT_THAT(Described(LoadSettingsBytes(string(c.text).data(), c.text.size())),
                    testing::HasSubstr(c.values))
            << testing::PrintToString(c.text);
}

StartupResult Load(string text) {
    return LoadGridBytes(text.data(), text.size());
}
// Sizes, cell sizes, field size and the block row by row, border included; or the failure, and
// whether it kept a grid.
string Grid(StartupResult r) {
    if (!r.ok) return Failure(r) + (array || QntX || QntY || QntX2 || QntY2 ? " (kept)" : "");
    std::ostringstream o;
    o << QntX << 'x' << QntY << ' ' << delX << 'x' << delY << ' ' << Xmax << 'x' << Ymax << ':';
    for (uint32_t k = 0; k < QntX2 * QntY2; ++k) o << (k % QntX2 ? " " : "/") << array[k];
    return o.str();
}
const string kNoMemory = "fail 1: Not enough memory for \"quorlane.dat\"",
             kDat = "3\n2\n1.0\n0.5\n10\n11\n12\n20\n21\n22\n";
const string kDatGrid =
    "3x2 1x0.5 3x1:/10 10 11 12 12/10 10 11 12 12/20 20 21 22 22/20 20 21 22 22";

// The 3 × 2 example and its four bordered rows in every spelling; value lines (a blank one uses up
// a cell, one without a number gives 0 (F6), a long one arrives in pieces); failures with status 1
// that release the grid loaded before (F2, F3, F4).
TEST(Grid, Files) {
    const string vals = "10\n11\n12\n20\n21\n22\n", t80(80, '3'),
                 long78 = "5" + string(76, ' ') + "6";
    const string kError = "fail 1: Error reading \"quorlane.dat\"",
                 kSize = "fail 1: Invalid grid size in \"quorlane.dat\"",
                 kCell = "fail 1: Invalid cell size in \"quorlane.dat\"";
    const struct {
        string text, grid;
    } cases[] = {
        {kDat, kDatGrid},
        {"3 2 1.0 0.5\n" + vals, kDatGrid},
        {"\n\n3\n\n2\t1.0\n\n\n0.5\n\n   \n  " + vals, kDatGrid},
        {"3\r\n2\r\n1.0\r\n0.5\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22", kDatGrid},
        {kDat + "99\nnot a value\n\n", kDatGrid},
        {kDat + "\x1a"
                "garbage",
         kDatGrid},
        {"3.9\n2abc\n1\n5e-1\n10 a\n11,5\n12\n+20\n 21\n22.0\n", kDatGrid},
        {"1 1 2 2\n-4.25\n", "1x1 2x2 2x2:/-4.25 -4.25 -4.25/-4.25 -4.25 -4.25/-4.25 -4.25 -4.25"},
        {"2 1 1 1\n12.5 abc\n7,5\n", "2x1 1x1 2x1:/12.5 12.5 7 7/12.5 12.5 7 7/12.5 12.5 7 7"},
        {"3 1 1 1\n10\n\n11\n12\n", "3x1 1x1 3x1:/10 10 0 11 11/10 10 0 11 11/10 10 0 11 11"},
        {"2 1 1 1\nabc\n-\n", "2x1 1x1 2x1:/0 0 0 0/0 0 0 0/0 0 0 0"},
        {"3 1 1 1\n" + long78 + "7\n9\n", "3x1 1x1 3x1:/5 5 7 9 9/5 5 7 9 9/5 5 7 9 9"},
        {"2 1 1 1\n" + long78 + "\n9\n", "2x1 1x1 2x1:/5 5 0 0/5 5 0 0/5 5 0 0"},
        {string(78, '0') + "1 1 " + string(74, '0') + "1.5e0 1\n7\n",
         "1x1 1.5x1 1.5x1:/7 7 7/7 7 7/7 7 7"},
        {"", kError},
        {" \n\n", kError},
        {"3 2 1.0\n\n", kError},
        {"3 2 1.0\x1a 0.5\n1\n", kError},
        {"1 1 1 1", kError},
        {"3 2 1 1\n10\n11\n12\n20\n21\n", kError},
        {"3 2 1 1\n10\n11\n12\n20\x1a\n21\n22\n", kError},
        {"0 2 1 1\n", kSize},
        {"3 0 1 1\n", kSize},
        {"-1 2 1 1\n", kSize},
        {"x 2 1 1\n", kSize},
        {"3 .5 1 1\n", kSize},
        {"4294967297 1 1 1\n", kSize},
        {"32766 32766 1 1\n", kSize},
        {"1 357913940 1 1\n", kSize},
        {"0 0 0 0\n", kSize},
        {"3 2 0 1\n", kCell},
        {"3 2 1 -0.5\n", kCell},
        {"3 2 abc 1\n", kCell},
        {"3 2 1 1e39\n", kCell},
        {"3 2 1e-50 1\n", kCell},
        {"3 2 nan inf\n", kCell},
        {t80 + " 2 1 1\n", kSize},
        {"3 " + t80 + " 1 1\n", kSize},
        {"3 2 " + t80 + " 1\n", kCell},
        {"3 2 1 " + t80 + "\n", kCell},
        {t80 + " 2 " + t80 + " 1\n", kSize}};
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(kDat).ok);
        EXPECT_EQ(Grid(Load(c.text)), c.grid) << testing::PrintToString(c.text);
    }
    FreeGrid();
    EXPECT_TRUE(array == nullptr && QntX == 0 && QntY == 0 && QntX2 == 0 && QntY2 == 0);
}

// Files on disk; one that cannot be opened is a start-up failure with status 1 (F1).
TEST(StartupFiles, LoadFromDisk) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("quorlane_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const string dat = (dir / "quorlane.dat").string(), ini = (dir / "quorlane.ini").string();
    for (const string& p : {dat, dir.string()})
        EXPECT_EQ(Grid(LoadGrid(p.c_str())), "fail 1: Cannot open \"quorlane.dat\"");
    EXPECT_EQ(Described(LoadSettings(ini.c_str())), "fail 1: Cannot open \"quorlane.ini\"");
    std::ofstream(dat, std::ios::binary)
        << "3\r\n2\r\n1.0\r\n0.5\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22";
    std::ofstream(ini, std::ios::binary) << Join(kIni, "\r\n");
    EXPECT_EQ(Described(LoadSettings(ini.c_str())), kIniValues);
    for (int k = 0; k < 2; ++k)
        EXPECT_EQ(Grid(LoadGrid(dat.c_str())), kDatGrid);  // again: the first block released
    FreeGrid();
    fs::remove_all(dir);
}

#ifndef __SANITIZE_ADDRESS__  // the sanitizer's own reservations exceed the limit (the unit tests
                              // build with g++)
// F5: a 3.6 GB block within 1 GiB of address space.
TEST(Grid, BlockThatCannotBeAllocated) {
    const rlimit lim{size_t(1) << 30, size_t(1) << 30};
    EXPECT_EXIT((setrlimit(RLIMIT_AS, &lim),
                 std::exit(Grid(Load("30000 30000 1 1\n1\n")) == kNoMemory ? 0 : 2)),
                testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
