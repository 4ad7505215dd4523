// The Display settings: seventeen values read by line position, each converted by its own rule.

#include "load_support.h"

namespace quorlane {

namespace {

using std::string;

// The settings example with `count` lines from line n (from 1) replaced by `text`.
string With(size_t n, const string& text, size_t count = 1) {
    Strs l = kIni;
    l.erase(l.begin() + n - 1, l.begin() + n - 1 + count);
    l.insert(l.begin() + n - 1, text);
    return Join(l);
}

// The example's listing with the settings in `changes` ("name=value ...") taking other values.
string ExampleWith(const string& changes) {
    string listing = "\n" + kIniListing;
    std::istringstream in(changes);
    for (string c; in >> c;) {
        const size_t at = listing.find("\n" + c.substr(0, c.find('=') + 1));
        EXPECT_NE(at, string::npos) << "no setting " << c;
        if (at != string::npos) listing.replace(at + 1, listing.find('\n', at + 1) - at - 1, c);
    }
    return listing.substr(1);
}

// The settings of `text`, read in chunks of every size (all must agree).
string SettingsOf(const string& text) {
    DisplaySettings whole;
    const string first = Described(LoadSettingsBytes(whole, text.data(), text.size()), whole);
    for (size_t chunk : kChunks) {
        DisplaySettings s;
        s.bandHeight = 99;  // nothing is kept from before
        MemorySource source(text.data(), text.size(), chunk);
        EXPECT_EQ(Described(LoadSettingsFrom(s, source), s), first)
            << "in chunks of " << chunk << ": " << testing::PrintToString(text);
    }
    return first;
}

// Sizes wrap as unsigned, colours saturate, switches keep their low 8 bits, the caption is its
// first word cut to 49 characters, a line of 80 characters moves the later settings down.
TEST(Settings, Files) {
    const string example = Join(kIni), sixteen = Join(Strs(kIni.begin(), kIni.end() - 1));
    const string a49(49, 'a'), eighty = "1.5" + string(75, ' ') + "25";
    const struct {
        string text, changes;  // the settings that differ from the example's
    } cases[] = {
        {With(1, eighty),
         "scaleMin=1.5 scaleMax=25 minRed=100 maxRed=0 minGreen=255 minBlue=0 maxBlue=255 "
         "windowWidth=0 windowHeight=640 bandHeight=480 bandSideGap=20 bandStrip=30 intervals=20 "
         "caption=10 clipping=0 ScaleSpan()=23.5 RedSpan()=-100 GreenSpan()=-255 BlueSpan()=255"},
        {With(1, "-3e38\n3e38\n2147483647\n-2147483648", 4),
         "scaleMin=-3e+38 scaleMax=3e+38 minRed=2147483647 maxRed=-2147483648 ScaleSpan()=inf "
         "RedSpan()=1"},
        {With(9, "-1"), "windowWidth=4294967295"},
        {With(10, "4294967296"), "windowHeight=2147483647"},
        {With(4, ""), "maxRed=0 RedSpan()=0"},
        {With(3, "99999999999"), "minRed=2147483647 RedSpan()=-2147483392"},
        {With(16, "2"), "clipping=2"},
        {With(16, "-255"), "clipping=1"},
        {With(17, "256"), "palette=0"},
        {With(15, "Depth (m)"), "caption=Depth"},
        {With(15, "   "), "caption="},
        {With(15, a49 + "a"), "caption=" + a49},
        {With(15, a49 + " c"), "caption=" + a49},
        {With(1, "1e39"), "scaleMin=inf ScaleSpan()=-inf"},
        {With(2, "7,5"), "scaleMax=7 ScaleSpan()=7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsOf(c.text), ExampleWith(c.changes)) << testing::PrintToString(c.text);
    for (const string& text : {example, Join(kIni, "\r\n"), example.substr(0, example.size() - 1),
                               example + "5\nextra\n\x1a", With(1, "  0.0 lowest value")})
        EXPECT_EQ(SettingsOf(text), kIniListing) << testing::PrintToString(text);
    EXPECT_EQ(SettingsOf(Join(Strs(17, ""))), Described(LoadOk(), DisplaySettings()))
        << "seventeen blank lines: every setting 0";
    for (const string& text :
         {string(), sixteen, sixteen.substr(0, sixteen.size() - 1), sixteen + "\x1a" + "1\n"})
        EXPECT_EQ(SettingsOf(text), "fail: Error reading \"quorlane.ini\"")
            << testing::PrintToString(text);
}

}  // namespace

}  // namespace quorlane
