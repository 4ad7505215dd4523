// The start-up files from a failing disk, and from disk: present, missing or unreadable.
#include <filesystem>
#include <fstream>
#include <random>

#include "load_support.h"

namespace quorlane {

namespace {

using std::string;

// A disk failing after every count of bytes: "Error reading" unless the last line the load needs
// was complete before the error, and then what the whole file gives.
TEST(StartupFiles, ReadErrors) {
    const string kError = "fail: Error reading \"quorlane.dat\"";
    const string crlf = "3\r\n2\r\n1.0\r\n0.5\r\n\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22\r\n";
    const struct {
        string text;
        size_t complete;  // bytes up to the end of the last line read; beyond the text: never
    } grids[] = {
        {crlf + "extra\r\n", crlf.size()},
        {"1 1 1 1\n" + string(100, '5'), 8 + 78},
        {"1 1 1 1\n5\x1a" + string("garbage"), 10},
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
                      failAt >= c.complete ? kIniListing : "fail: Error reading \"quorlane.ini\"")
                << failAt;
        }
}

// Both files from disk; a missing file or a directory fails, never as success.
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
        EXPECT_EQ(Described(LoadGrid(grid, Pool(2), p), grid), "fail: Cannot open \"" + p + "\"");
    EXPECT_EQ(Described(LoadSettings(settings, ini), settings),
              "fail: Cannot open \"" + ini + "\"");
    std::ofstream(dat, std::ios::binary)
        << "3\r\n2\r\n1.0\r\n0.5\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22";
    std::ofstream(ini, std::ios::binary) << Join(kIni, "\r\n");
    EXPECT_EQ(Described(LoadSettings(settings, ini), settings), kIniListing);
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
              "fail: Error reading \"/proc/self/mem\"");
    EXPECT_EQ(Described(LoadSettings(settings, "/proc/self/mem"), settings),
              "fail: Error reading \"/proc/self/mem\"");
    fs::remove_all(dir);
}

}  // namespace

}  // namespace quorlane
