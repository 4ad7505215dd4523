// Start-up loading: the text-reading rules, the Display settings and the Grid with its ghost
// border, from text in memory and from files on disk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "common/worker_pool.h"
#include "data/bytesource.h"
#include "data/grid_loader.h"
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

// Every input is fed in chunks of these sizes.
const size_t kChunks[] = {1, 2, 3, 5, 7, 64, 4096};

// The lines of `text` read one after another from a source in chunks of `chunk` bytes.
Strs SourceLines(const string& text, size_t chunk) {
    MemorySource source(text.data(), text.size(), chunk);
    TextSource in(source);
    Strs got;
    for (std::string_view l; in.ReadLine(l);) got.emplace_back(l);
    return got;
}

// A fault in the text rules: carriage returns are dropped, Ctrl-Z ends the file, and a line read
// takes at most 78 characters, so a longer line arrives in pieces.
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
        for (size_t chunk : kChunks)
            EXPECT_EQ(SourceLines(c.in, chunk), c.lines) << testing::PrintToString(c.in) << chunk;
        // The same text cleaned in place and read from memory, as the grid's values are.
        bool ctrlZ;
        string text = c.in;
        text.resize(CleanText(text.data(), text.size(), ctrlZ));
        EXPECT_EQ(ctrlZ, c.in.find('\x1a') != string::npos);
        TextIn in{text.data(), text.data() + text.size()};
        Strs got;
        for (std::string_view l; ReadLine(in, l);) got.emplace_back(l);
        EXPECT_EQ(got, c.lines) << testing::PrintToString(c.in);
        EXPECT_EQ(CountLineReads(text.data(), text.size()), c.lines.size());
    }
}

// A miscounted line read would put every later value into the wrong cell: the reads of random
// texts of short, blank and long lines counted at once agree with reading them one by one, at
// every offset of the 16-byte blocks; a cut leaves less than one read and starts a read.
TEST(TextRead, CountsAndCuts) {
    std::mt19937 rng(7);
    for (int t = 0; t < 3000; ++t) {
        string text;
        const int lines = int(rng() % 12);
        for (int k = 0; k < lines; ++k) {
            const unsigned kind = rng() % 4;
            const size_t len = kind == 0 ? 0 : kind == 1 ? rng() % 10 : rng() % 250;
            text += string(len, char('a' + rng() % 3));
            if (k + 1 < lines || rng() % 2) text += '\n';
        }
        const size_t skip = rng() % 16;  // misaligns the text
        const string padded = string(skip, '\n') + text;
        const char* p = padded.data() + skip;
        TextIn in{p, p + text.size()};
        size_t reads = 0;
        std::vector<size_t> starts{0};
        for (std::string_view l; ReadLine(in, l); starts.push_back(size_t(in.p - p))) ++reads;
        ASSERT_EQ(CountLineReads(p, text.size()), reads) << testing::PrintToString(text);
        const size_t cut = LineReadCut(p, text.size());
        EXPECT_LT(text.size() - cut, kLineMax) << testing::PrintToString(text);
        EXPECT_TRUE(std::find(starts.begin(), starts.end(), cut) != starts.end())
            << testing::PrintToString(text);
        EXPECT_EQ(CountLineReads(p, cut) + CountLineReads(p + cut, text.size() - cut), reads);
    }
}

// A header token read apart from its text: tokens over 79 characters, tokens and white space
// split across chunks, and a read error within a token or the white space after it.
TEST(TextRead, Tokens) {
    const string t80(80, '7');
    const struct {
        string in;
        size_t failAt;
        Strs tokens;  // "!" marks a token too long; the list ends where a read returns End
    } cases[] = {
        {"", MemorySource::kNever, {}},
        {" \r\n\t", MemorySource::kNever, {}},
        {"3 2\r\n\n 1.0\x1a 0.5", MemorySource::kNever, {"3", "2", "1.0"}},
        {string(79, 'x') + " " + t80 + "\n1", MemorySource::kNever, {string(79, 'x'), "!", "1"}},
        {"12 34 5", MemorySource::kNever, {"12", "34", "5"}},
        {"12 34 5", 7, {"12", "34"}},
        {"12 34 5", 6, {"12"}},
        {"12 34 5", 4, {"12"}},
        {"12 34 5", 3, {}},
        {"12 34 5", 2, {}},
    };
    for (const auto& c : cases)
        for (size_t chunk : kChunks) {
            MemorySource source(c.in.data(), c.in.size(), chunk, c.failAt);
            TextSource in(source);
            Strs got;
            std::string_view tok;
            for (TokenRead r; (r = in.ReadToken(tok)) != TokenRead::End;) {
                if (r == TokenRead::TooLong) {
                    EXPECT_EQ(tok, t80);
                }
                got.push_back(r == TokenRead::TooLong ? "!" : string(tok));
            }
            EXPECT_EQ(got, c.tokens) << testing::PrintToString(c.in) << " " << chunk;
        }
}

// A fault in the prefix conversions: integers saturate at the 32-bit limits instead of wrapping;
// reals round to the nearest float (ties to even), beyond it to infinity, and take no "nan",
// "inf" or hexadecimal forms.
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
    EXPECT_EQ(IntPrefix(std::string_view("1\0002", 3)), 1);
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
                 {"1e+39", kInf},
                 {"-2.5E+45x", -kInf},
                 {"1e-46", 0},
                 {"1234567890123456789012345678901234567890", kInf},
                 {"1e999999999999", kInf},
                 {"-0.00001e999999999999999999", -kInf},
                 {"-1e-50", -0.0f},
                 {"100000e-999999999999", 0},
                 {"0e999999999999", 0}};
    for (const auto& c : reals) EXPECT_EQ(Bits(RealPrefix(c.in)), Bits(c.out)) << c.in;
    EXPECT_EQ(RealPrefix(std::string_view("3\0007", 3)), 3.0f);
    // Decimal texts of every magnitude round as the C library's conversion does.
    std::mt19937 rng(20240611);
    for (int k = 0; k < 20000; ++k) {
        string s = rng() & 1 ? "-" : "";
        const int digits = 1 + int(rng() % 20), point = int(rng() % (digits + 1));
        for (int d = 0; d < digits; ++d)
            s += (d == point ? "." : "") + string(1, char('0' + rng() % 10));
        s += "e" + std::to_string(int(rng() % 100) - 60);
        EXPECT_EQ(Bits(RealPrefix(s)), Bits(std::strtof(s.c_str(), nullptr))) << s;
    }
    // Texts at and near the points half-way between two floats, where rounding first to a
    // double can land exactly on the half-way point though the text lies to one side of it.
    for (int k = 0; k < 20000; ++k) {
        float f;
        const uint32_t b = 0x00800000u + uint32_t(rng() % (0x7F000000u - 0x00800000u));
        std::memcpy(&f, &b, 4);
        const double half = (double(f) + double(std::nextafter(f, kInf))) / 2;
        char text[64];
        std::snprintf(text, sizeof text, "%.*e", int(13 + rng() % 5), half);
        string s = text;
        if (rng() % 3 == 0) {  // the last digit moved by one
            const size_t e = s.find('e') - 1;
            s[e] = s[e] == '9' ? '8' : char(s[e] + 1);
        }
        EXPECT_EQ(Bits(RealPrefix(s)), Bits(std::strtof(s.c_str(), nullptr))) << s;
    }
    for (const char* s :
         {"16777217", "16777217.000000001", "16777216.999999999", "0.5000000298023224",
          "8.000000476837158", "8.0000004768371582031", "8.000000476837159e-3",
          "1.00000005960464478e22", "1.0000000596046448e-22"})
        EXPECT_EQ(Bits(RealPrefix(s)), Bits(std::strtof(s, nullptr))) << s;
}

// The settings example of seventeen lines.
const Strs kIni = {"0.0", "100.0", "0",  "255", "0",  "0",           "255", "0", "640",
                   "480", "20",    "30", "20",  "10", "Temperature", "1",   "1"};
// Its settings in the file's order, then the scale's span and the colour spans.
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

// Every setting and the spans in the file's order, or the failure.
string Described(StartupResult r, const DisplaySettings& s) {
    if (!r.ok) return Failure(r);
    std::ostringstream o;
    o << s.scaleMin << ' ' << s.scaleMax << ' ' << s.minRed << ' ' << s.maxRed << ' ' << s.minGreen
      << ' ' << s.maxGreen << ' ' << s.minBlue << ' ' << s.maxBlue << ' ' << s.windowWidth << ' '
      << s.windowHeight << ' ' << s.bandHeight << ' ' << s.bandSideGap << ' ' << s.bandStrip << ' '
      << s.intervals << ' ' << s.caption << ' ' << int(s.clipping) << ' ' << int(s.palette) << " | "
      << s.ScaleSpan() << ' ' << s.RedSpan() << ' ' << s.GreenSpan() << ' ' << s.BlueSpan();
    return o.str();
}
// The settings of `text`, read in chunks of every size (all must agree).
string SettingsOf(const string& text) {
    string first;
    for (size_t chunk : kChunks) {
        DisplaySettings s;
        s.bandHeight = 99;  // nothing is kept from before
        MemorySource source(text.data(), text.size(), chunk);
        const string got = Described(LoadSettingsFrom(s, source), s);
        if (first.empty()) first = got;
        EXPECT_EQ(got, first) << "in chunks of " << chunk << ": " << testing::PrintToString(text);
    }
    DisplaySettings s;
    EXPECT_EQ(Described(LoadSettingsBytes(s, text.data(), text.size()), s), first);
    return first;
}

// A setting taken from the wrong line or converted the wrong way: the example in every spelling;
// values by line position, sizes wrapping as unsigned, colours saturating, the switches keeping
// their low 8 bits, the caption its first word cut to 49 characters; a line of 80 characters
// read in two pieces moves every later setting down. Fewer than seventeen lines fail with status 1.
TEST(Settings, Files) {
    const string example = Join(kIni), sixteen = Join(Strs(kIni.begin(), kIni.end() - 1));
    const string err = "fail 1: Error reading \"quorlane.ini\"";
    const string a49(49, 'a'), eighty = "1.5" + string(75, ' ') + "25";
    const struct {
        string text, values;  // values: the whole listing or a part of it
    } cases[] = {
        {example, kIniValues},
        {Join(kIni, "\r\n"), kIniValues},
        {example.substr(0, example.size() - 1), kIniValues},
        {example + "5\nextra\n\x1a", kIniValues},
        {With(1, "  0.0 lowest value"), kIniValues},
        {With(1, eighty),
         "1.5 25 100 0 255 0 0 255 0 640 480 20 30 20 10 0 1 | 23.5 -100 -255 255"},
        {With(1, "-3e38\n3e38\n2147483647\n-2147483648", 4),
         "-3e+38 3e+38 2147483647 -2147483648 0 0 255 0 640 480 20 30 20 10 Temperature 1 1 | inf "
         "1 0 -255"},
        {Join(Strs(17, "")), "0 0 0 0 0 0 0 0 0 0 0 0 0 0  0 0 | 0 0 0 0"},
        {"", err},
        {sixteen, err},
        {sixteen.substr(0, sixteen.size() - 1), err},
        {sixteen + "\x1a" + "1\n", err},
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
        {With(2, "7,5"), "0 7 0 255"},
    };
    for (const auto& c : cases)
        EXPECT_THAT(SettingsOf(c.text), testing::HasSubstr(c.values))
            << testing::PrintToString(c.text);
}

// Sizes, cell sizes, field size and the block row by row, border included; or the failure, and
// whether it kept a grid.
string Described(StartupResult r, const Grid& g) {
    if (!r.ok) return Failure(r) + (g.Loaded() || g.columns || g.rows ? " (kept)" : "");
    std::ostringstream o;
    o << g.columns << 'x' << g.rows << ' ' << g.cellWidth << 'x' << g.cellHeight << ' '
      << g.fieldWidth << 'x' << g.fieldHeight << ':';
    for (size_t k = 0; k < g.cells.size(); ++k) o << (k % g.Stride() ? " " : "/") << g.cells[k];
    return o.str();
}
const string kDat = "3\n2\n1.0\n0.5\n10\n11\n12\n20\n21\n22\n";
const string kDatGrid =
    "3x2 1x0.5 3x1:/10 10 11 12 12/10 10 11 12 12/20 20 21 22 22/20 20 21 22 22";
const string kNoMemory = "fail 1: Not enough memory for \"quorlane.dat\"";

// Pools of one thread (every piece parsed as it is read), two and four.
WorkerPool& Pool(unsigned threads) {
    static WorkerPool one(1), two(2), four(4);
    return threads == 1 ? one : threads == 2 ? two : four;
}

// How one load reads its text: the source's chunks, the pieces of value text and the threads.
struct Reading {
    size_t chunk, pieceBytes;
    unsigned threads, pieces;
};
std::ostream& operator<<(std::ostream& o, const Reading& r) {
    return o << "chunks of " << r.chunk << ", pieces of " << r.pieceBytes << " (" << r.pieces
             << " held), " << r.threads << " threads";
}
// Every chunk size, each with the smallest pieces, pieces that cut lines anywhere, and the
// usual pieces; on one, two and four threads.
std::vector<Reading> Readings() {
    std::vector<Reading> all;
    for (size_t chunk : kChunks)
        for (size_t piece : {size_t(1), size_t(79), size_t(100), size_t(1) << 20})
            for (unsigned threads : {1u, 2u, 4u})
                all.push_back({chunk, piece, threads, piece == 100 ? 2u : 0u});
    return all;
}

// Loads `text` into a grid that already holds the 3 × 2 example.
string GridFrom(const string& text, const Reading& how, size_t failAt = MemorySource::kNever) {
    Grid g;
    EXPECT_TRUE(LoadGridBytes(g, kDat.data(), kDat.size(), Pool(2)).ok);
    MemorySource source(text.data(), text.size(), how.chunk, failAt);
    GridLoadOptions options;
    options.pieceBytes = how.pieceBytes;
    options.pieces = how.pieces;
    const StartupResult r = LoadGridFrom(g, source, Pool(how.threads), options);
    return Described(r, g);
}

// The grid of `text` read in every way (all must agree).
string GridOf(const string& text) {
    Grid g;
    const string first = Described(LoadGridBytes(g, text.data(), text.size(), Pool(2)), g);
    for (const Reading& how : Readings())
        EXPECT_EQ(GridFrom(text, how), first) << how << ": " << testing::PrintToString(text);
    return first;
}

// A value landing in the wrong cell, a border cell that does not repeat its nearest sample, or a
// bad header taken as it comes: the 3 × 2 example and its four bordered rows in every spelling;
// a blank value line uses up a cell, one without a number gives 0, a long one arrives in pieces;
// a short file, sizes that are not positive or whose block does not fit 32 bits, cell sizes that
// are not positive and finite, and header tokens over 79 characters fail with status 1 and keep
// no grid.
TEST(Grid, Files) {
    const string values = "10\n11\n12\n20\n21\n22\n", t80(80, '3');
    const string long78 = "5" + string(76, ' ') + "6";
    const string kError = "fail 1: Error reading \"quorlane.dat\"";
    const string kSize = "fail 1: Invalid grid size in \"quorlane.dat\"";
    const string kCell = "fail 1: Invalid cell size in \"quorlane.dat\"";
    const struct {
        string text, grid;
    } cases[] = {
        {kDat, kDatGrid},
        {"3 2 1.0 0.5\n" + values, kDatGrid},
        {"\n\n3\n\n2\t1.0\n\n\n0.5\n\n   \n  " + values, kDatGrid},
        {"3\r\n2\r\n1.0\r\n0.5\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22", kDatGrid},
        {kDat + "99\nnot a value\n\n", kDatGrid},
        {kDat + "\x1a" + "garbage", kDatGrid},
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
        {t80 + " 2 " + t80 + " 1\n", kSize},
    };
    for (const auto& c : cases) EXPECT_EQ(GridOf(c.text), c.grid) << testing::PrintToString(c.text);
}

// The samples of grid text read the plain way, one line read after another from the whole
// text; an empty list when the text runs out first.
std::vector<float> PlainSamples(const string& text, size_t cells) {
    string t;
    for (size_t k = 0; k < text.size() && text[k] != '\x1a'; ++k)
        if (text[k] != '\r') t += text[k];
    size_t p = 0;
    for (int k = 0; k < 4; ++k) {
        while (p < t.size() && IsSpace(t[p])) ++p;
        while (p < t.size() && !IsSpace(t[p])) ++p;
    }
    while (p < t.size() && IsSpace(t[p])) ++p;
    std::vector<float> samples;
    for (size_t c = 0; c < cells; ++c) {
        if (p >= t.size()) return {};
        size_t len = 0;
        while (p + len < t.size() && len < kLineMax && (len == 0 || t[p + len - 1] != '\n')) ++len;
        samples.push_back(RealPrefix(std::string_view(t).substr(p, len)));
        p += len;
    }
    return samples;
}

// A piece cut in the wrong place or given the wrong first cell: random grid texts of short,
// blank, long and CR LF lines, numbers of every form and a Ctrl-Z here and there, read in a
// random way, give the samples of reading one line after another, or fail when it runs out.
TEST(Grid, RandomTextsAsReadLineAfterLine) {
    std::mt19937 rng(11);
    const std::vector<Reading> readings = Readings();
    const auto number = [&rng] {
        char b[40];
        switch (rng() % 5) {
        case 0:
            std::snprintf(b, sizeof b, "%d", int(rng() % 2001) - 1000);
            break;
        case 1:
            std::snprintf(b, sizeof b, "%.*f", int(rng() % 8), (int(rng() % 20001) - 10000) / 7.0);
            break;
        case 2:
            std::snprintf(b, sizeof b, "%.*e", int(rng() % 18), double(rng()) * 1e-5);
            break;
        case 3:
            std::snprintf(b, sizeof b, "%u.%04u", unsigned(rng() % 100), unsigned(rng() % 10000));
            break;
        default:
            return string(rng() % 2 ? "7,5 x" : "abc");
        }
        return string(b);
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
        const StartupResult r =
            LoadGridFrom(g, source, Pool(how.threads), {how.pieceBytes, how.pieces});
        ASSERT_EQ(r.ok, !want.empty()) << how << ": " << testing::PrintToString(text);
        if (!r.ok) {
            EXPECT_EQ(Failure(r), "fail 1: Error reading \"quorlane.dat\"");
            continue;
        }
        for (uint32_t j = 1; j <= ny; ++j)
            for (uint32_t i = 1; i <= nx; ++i)
                ASSERT_EQ(Bits(g.Cell(i, j)), Bits(want[(j - 1) * nx + i - 1]))
                    << i << "," << j << " " << how << ": " << testing::PrintToString(text);
    }
}

// A read error taken for the end of the file, or noticed where it does not matter: the disk fails
// after every count of bytes; the load fails with "Error reading" unless the last line it needs
// (value line or setting) was complete before the error, and then gives what the whole file does.
TEST(StartupFiles, ReadErrors) {
    const string kError = "fail 1: Error reading \"quorlane.dat\"";
    const string crlf = "3\r\n2\r\n1.0\r\n0.5\r\n\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22\r\n";
    const string never = "";
    const struct {
        string text;
        size_t complete;  // bytes up to the end of the last line read; beyond the text: never
    } grids[] = {
        {crlf + "extra\r\n", crlf.size()},
        {"1 1 1 1\n" + string(100, '5'), 8 + 78},
        {"1 1 1 1\n5\x1a"
         "garbage",
         10},
        {"1 1 1 1\n5", 10},
        {"2 1 1 1\n5\n", 10},
    };
    const std::vector<Reading> readings = Readings();
    for (const auto& c : grids) {
        const string whole = GridOf(c.text);
        for (size_t failAt = 0; failAt <= c.text.size(); ++failAt) {
            const Reading& how = readings[failAt * 7 % readings.size()];
            EXPECT_EQ(GridFrom(c.text, how, failAt), failAt >= c.complete ? whole : kError)
                << "failing after " << failAt << ", " << how << ": "
                << testing::PrintToString(c.text);
        }
    }
    const string ini = Join(kIni, "\r\n"), noEol = ini.substr(0, ini.size() - 2);
    const struct {
        string text;
        size_t complete;
    } settings[] = {{ini + "more\n", ini.size()}, {noEol, noEol.size() + 1}};
    for (const auto& c : settings)
        for (size_t failAt = 0; failAt <= c.text.size(); ++failAt) {
            DisplaySettings s;
            MemorySource source(c.text.data(), c.text.size(), kChunks[failAt % 7], failAt);
            EXPECT_EQ(Described(LoadSettingsFrom(s, source), s),
                      failAt >= c.complete ? kIniValues : "fail 1: Error reading \"quorlane.ini\"")
                << failAt;
        }
}

// Text after the values read for nothing: a grid followed by 16 MB of lines is read no further
// than one piece past its values.
TEST(Grid, ReadingStopsAfterTheValues) {
    struct Counting : ByteSource {
        MemorySource inner;
        size_t handed = 0;
        explicit Counting(const string& t) : inner(t.data(), t.size()) {}
        size_t Read(char* buf, size_t n) override {
            const size_t got = inner.Read(buf, n);
            handed += got;
            return got;
        }
        bool Failed() const override { return inner.Failed(); }
    };
    string text = kDat;
    for (int k = 0; k < 1 << 23; ++k) text += "9\n";
    for (size_t piece : {size_t(100), size_t(1) << 20})
        for (unsigned threads : {1u, 4u}) {
            Counting source(text);
            Grid g;
            EXPECT_EQ(Described(LoadGridFrom(g, source, Pool(threads), {piece, 0}), g), kDatGrid);
            EXPECT_LE(source.handed, 4096 + piece) << piece << " " << threads;
        }
    // Pieces too large to hold are reported, not wrapped around.
    Grid g;
    MemorySource source(kDat.data(), kDat.size());
    EXPECT_EQ(Described(LoadGridFrom(g, source, Pool(2), {SIZE_MAX / 2, 3}), g), kNoMemory);
}

// A missing file reported as success or with the wrong status: both files on disk, and files
// that cannot be opened (a missing file, a directory) fail with status 1.
TEST(StartupFiles, LoadFromDisk) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("quorlane_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const string dat = (dir / "quorlane.dat").string(), ini = (dir / "quorlane.ini").string();
    Grid grid;
    DisplaySettings settings;
    // Reports name each file as it was given.
    for (const string& p : {dat, dir.string()})
        EXPECT_EQ(Described(LoadGrid(grid, Pool(2), p), grid), "fail 1: Cannot open \"" + p + "\"");
    EXPECT_EQ(Described(LoadSettings(settings, ini), settings),
              "fail 1: Cannot open \"" + ini + "\"");
    std::ofstream(dat, std::ios::binary)
        << "3\r\n2\r\n1.0\r\n0.5\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22";
    std::ofstream(ini, std::ios::binary) << Join(kIni, "\r\n");
    EXPECT_EQ(Described(LoadSettings(settings, ini), settings), kIniValues);
    for (int k = 0; k < 2; ++k)  // again, over the grid loaded before
        EXPECT_EQ(Described(LoadGrid(grid, Pool(2), dat), grid), kDatGrid);
    // A file that opens but cannot be read: its read fails, where a file's end does not.
    char buf[16];
    FileSource unreadable, whole;
    ASSERT_TRUE(unreadable.Open("/proc/self/mem") && whole.Open(ini));
    EXPECT_EQ(unreadable.Read(buf, sizeof buf), 0u);
    EXPECT_TRUE(unreadable.Failed());
    while (whole.Read(buf, sizeof buf) > 0) {
    }
    EXPECT_FALSE(whole.Failed());
    EXPECT_EQ(Described(LoadGrid(grid, Pool(2), "/proc/self/mem"), grid),
              "fail 1: Error reading \"/proc/self/mem\"");
    EXPECT_EQ(Described(LoadSettings(settings, "/proc/self/mem"), settings),
              "fail 1: Error reading \"/proc/self/mem\"");
    // A grid of many pieces, read as one line after another.
    string big = "700 500 1 1\n";
    std::mt19937 rng(3);
    for (int k = 0; k < 700 * 500; ++k)
        big += std::to_string(rng() % 100) + "." + std::to_string(rng() % 10000) +
               (k % 1000 ? "\n" : string(200, ' ') + "\r\n");
    std::ofstream(dat, std::ios::binary) << big;
    ASSERT_TRUE(LoadGrid(grid, Pool(2), dat).ok);
    const std::vector<float> want = PlainSamples(big, 700 * 500);
    for (uint32_t j = 1; j <= 500; ++j)
        for (uint32_t i = 1; i <= 700; ++i)
            ASSERT_EQ(Bits(grid.Cell(i, j)), Bits(want[(j - 1) * 700 + i - 1])) << i << "," << j;
    fs::remove_all(dir);
}

// The sanitizer's own reservations exceed the limit (the unit tests build with g++).
#ifndef __SANITIZE_ADDRESS__
// A block that cannot be allocated must be reported, not used: a 3.6 GB block within 1 GiB of
// address space.
TEST(Grid, BlockThatCannotBeAllocated) {
    // The child runs this test alone, not a copy of this process with its pools' threads gone.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const rlimit lim{size_t(1) << 30, size_t(1) << 30};
    EXPECT_EXIT((setrlimit(RLIMIT_AS, &lim),
                 std::exit(GridOf("30000 30000 1 1\n1\n") == kNoMemory ? 0 : 2)),
                testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
