// The Display settings: seventeen values read by line position, each converted by its own rule.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "data/bytesource.h"
#include "data/settings.h"
#include "load_support.h"

namespace {

using std::string;

// The settings example with `count` lines from line n (from 1) replaced by `text`.
string With(size_t n, const string& text, size_t count = 1) {
    Strs l = kIni;
    l.erase(l.begin() + n - 1, l.begin() + n - 1 + count);
    l.insert(l.begin() + n - 1, text);
    return Join(l);
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

}  // namespace
