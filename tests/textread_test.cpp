// The text rules of the start-up files: line reads, their counts and cuts, tokens, numbers.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "load_support.h"

namespace quorlane {

namespace {

using std::string;
const float kInf = INFINITY;

// The lines of `text` read one after another from a source in chunks of `chunk` bytes.
Strs SourceLines(const string& text, size_t chunk) {
    MemorySource source(text.data(), text.size(), chunk);
    TextSource in(source);
    Strs got;
    for (std::string_view l; in.ReadLine(l);) got.emplace_back(l);
    return got;
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

// Random texts' reads counted at once agree with reading them one by one, at every offset of the
// 16-byte blocks; a cut leaves less than one read and starts a read.
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

// A header token read apart from its text: long tokens, chunks, and read errors within a token
// or the white space after it.
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
                EXPECT_TRUE(r != TokenRead::TooLong || tok == t80) << tok;
                got.push_back(r == TokenRead::TooLong ? "!" : string(tok));
            }
            EXPECT_EQ(got, c.tokens) << testing::PrintToString(c.in) << " " << chunk;
        }
}

// A fault in the prefix conversions: integers saturate at the 32-bit limits; reals round to the
// nearest float (ties to even), beyond it to infinity, and take no "nan", "inf" or hex forms.
TEST(TextRead, Conversions) {
    const struct {
        int32_t out;
        Strs in;
    } ints[] = {
        {0, {"", "abc", "- 5", "+-5", "0x10"}},
        {12, {"  12xyz", "000000000000000000012"}},
        {7, {"+7"}},
        {-3, {"-3.9"}},
        {5, {" \t\v\f\r\n 5"}},
        {1, {"1e3"}},
        {INT32_MAX, {"2147483647", "2147483648", "18446744073709551617"}},
        {INT32_MIN, {"-2147483648", "-2147483649"}},
        {INT32_MAX - 1, {"2147483646"}},
        {INT32_MIN + 1, {"-2147483647"}},
    };
    for (const auto& c : ints)
        for (const string& in : c.in) EXPECT_EQ(IntPrefix(in), c.out) << in;
    EXPECT_EQ(IntPrefix(std::string_view("1\0002", 3)), 1);
    const struct {
        float out;
        Strs in;
    } reals[] = {
        {0,
         {"abc", ".", "+.e5", "nan", "-infinity", "INF", "0x1p3", "1e-46", "100000e-999999999999",
          "0e999999999999", "1e-1100000000000", "7.006492321624085354618647916449580656401e-46"}},
        {-0.0f, {"-0", "-1e-50"}},
        {7, {"7,5"}},
        {-2.5f, {"  -2.5\n"}},
        {0.5f, {"+.5"}},
        {5, {"5."}},
        {1.5f, {"1.5.5"}},
        {1, {"1e", "1e+", "1e-x", "1.000000059604644775390625"}},
        {200, {"2E2"}},
        {16777216, {"16777217"}},
        {16777220, {"16777219"}},
        {1.00000012f, {"1.00000005960464477539062500001"}},
        {3.4028235e38f, {"3.4028235e38"}},
        {1.4e-45f, {"00000000000000000001e-45", "7.0064923216240853546186479164495806564014e-46"}},
        {kInf,
         {"3.4028236e38", "1e+39", "1e999999999999", "0.0000000001e50",
          "1234567890123456789012345678901234567890",
          "1234567890123456789012345678901234567890e0\xb0"}},  // a byte that reads as < 0 after it
        {-kInf, {"-1e39", "-2.5E+45x", "-0.00001e999999999999999999"}},
    };
    for (const auto& c : reals)
        for (const string& in : c.in) EXPECT_EQ(Bits(RealPrefix(in)), Bits(c.out)) << in;
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

}  // namespace

}  // namespace quorlane
