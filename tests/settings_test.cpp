// Loading the settings file into the Display settings.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "data/settings.h"

namespace {

using std::string;

const std::vector<string> kExample = {"0.0", "100.0", "0",  "255", "0",  "0",           "255", "0", "640",
                                      "480", "20",    "30", "20",  "10", "Temperature", "1",   "1"};
// Every setting and derived value, in the file's order.
const string kExampleValues = "0 100 0 255 0 0 255 0 640 480 20 30 20 10 Temperature 1 1 | 100 255 0 -255";

string Join(const std::vector<string>& lines, const char* eol = "\n") {
    string s;
    for (const string& l : lines) s += l + eol;
    return s;
}

// The example with line `n` (1-based) replaced.
string ExampleWith(size_t n, const string& line) {
    std::vector<string> lines = kExample;
    lines[n - 1] = line;
    return Join(lines);
}

// Loads `text` and lists every value as kExampleValues does ("fail: ..." on failure).
string Values(string text) {
    StartupResult r = LoadSettingsBytes(text.data(), text.size());
    std::ostringstream o;
    if (!r.ok) {
        o << "fail " << r.status << ": " << r.message;
        return o.str();
    }
    o << Fmin << ' ' << Fmax << ' ' << minRed << ' ' << maxRed << ' ' << minGreen << ' ' << maxGreen << ' ' << minBlue
      << ' ' << maxBlue << ' ' << Width << ' ' << Height << ' ' << Band << ' ' << Xmargin << ' ' << Ymargin << ' '
      << intervals << ' ' << Label << ' ' << int(clipping) << ' ' << int(color) << " | " << dFF << ' ' << dRed << ' '
      << dGreen << ' ' << dBlue;
    return o.str();
}

TEST(Settings, Files) {
    std::vector<string> sixteen(kExample.begin(), kExample.end() - 1), shifted = kExample, wraps = kExample;
    shifted[0] = "1.5" + string(75, ' ') + "25";  // 80 characters: two line reads
    wraps[0] = "-3e38", wraps[1] = "3e38", wraps[2] = "2147483647", wraps[3] = "-2147483648";
    const string kError = "fail 1: Error reading \"quorlane.ini\"";
    const struct { string text, values; } cases[] = {
        {Join(kExample), kExampleValues},
        {Join(kExample, "\r\n"), kExampleValues},
        {Join(kExample).substr(0, Join(kExample).size() - 1), kExampleValues},  // no final line feed
        {Join(kExample) + "5\nextra\n\x1a", kExampleValues},
        {ExampleWith(1, "  0.0 lowest value"), kExampleValues},
        // every later setting comes from the line above its own
        {Join(shifted), "1.5 25 100 0 255 0 0 255 0 640 480 20 30 20 10 0 1 | 23.5 -100 -255 255"},
        {Join(wraps), "-3e+38 3e+38 2147483647 -2147483648 0 0 255 0 640 480 20 30 20 10 Temperature 1 1 | inf 1 0 -255"},
        {Join(std::vector<string>(17, "")), "0 0 0 0 0 0 0 0 0 0 0 0 0 0  0 0 | 0 0 0 0"},  // nothing kept
        {"", kError}, {Join(sixteen), kError}, {Join(sixteen).substr(0, Join(sixteen).size() - 1), kError},
        {Join(sixteen) + "\x1a" "1\n", kError},
    };
    for (const auto& c : cases) EXPECT_EQ(Values(c.text), c.values) << testing::PrintToString(c.text);
}

TEST(Settings, LineValues) {
    const struct { size_t line; string text; string values; } cases[] = {
        {9, "640 pixels wide", "640 480"}, {9, "-1", "4294967295 480"}, {10, "4294967296", "640 2147483647"},
        {3, "", "0 255 0"}, {3, "99999999999", "2147483647 255 0"}, {16, "2", "2 1"}, {16, "257", "1 1"},
        {16, "-255", "1 1"}, {17, "256", "1 0"}, {17, "", "1 0"},
        {15, "Depth (m)", "Depth"}, {15, "   ", ""}, {15, string(50, 'a'), string(49, 'a')},
        {15, string(49, 'b') + " c", string(49, 'b')}, {1, "1e39", "inf 100"}, {2, "7,5", "0 7"},
    };
    for (const auto& c : cases) {
        string text = ExampleWith(c.line, c.text);
        ASSERT_TRUE(LoadSettingsBytes(text.data(), text.size()).ok);
        std::ostringstream o;
        if (c.line <= 2) o << Fmin << ' ' << Fmax;
        if (c.line >= 3 && c.line <= 8) o << minRed << ' ' << maxRed << ' ' << dGreen;
        if (c.line == 9 || c.line == 10) o << Width << ' ' << Height;
        if (c.line == 15) o << Label;
        if (c.line >= 16) o << int(clipping) << ' ' << int(color);
        EXPECT_EQ(o.str(), c.values) << "line " << c.line << " \"" << c.text << "\"";
    }
    string text = ExampleWith(1, "0.1");
    ASSERT_TRUE(LoadSettingsBytes(text.data(), text.size()).ok);
    EXPECT_EQ(dFF, float(100.0 - double(0.1f)));  // one rounding, from double
}

TEST(Settings, LoadFromFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quorlane_settings_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const string path = (dir / "quorlane.ini").string();
    StartupResult r = LoadSettings(path.c_str());
    EXPECT_TRUE(!r.ok && r.status == 1);
    EXPECT_STREQ(r.message, "Cannot open \"quorlane.ini\"");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(Join(kExample, "\r\n").c_str(), f);
    std::fclose(f);
    ASSERT_TRUE(LoadSettings(path.c_str()).ok);
    EXPECT_STREQ(Label, "Temperature");
    EXPECT_EQ(dBlue, -255);
    fs::remove_all(dir);
}

}  // namespace
