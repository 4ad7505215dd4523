// The start-up files from a failing disk, from disk (present, missing or unreadable) and from
// pipes held open.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <string>
#include <thread>

#include "data/inputs.h"
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

// A folder's two files loaded with the settings file opened after the grid is read or before it:
// the same reports, except that a settings file that cannot be opened first leaves the grid unread.
TEST(StartupFiles, InputsInEitherOrder) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("quorlane_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const InputFiles in = InputsOf(dir.string(), true);
    const string noDat = "fail: Cannot open \"" + in.gridPath + "\"";
    const string noIni = "fail: Cannot open \"" + in.settingsPath + "\"";
    const struct {
        bool dat, ini;
        string after, before;  // the grid's description for each order
    } cases[] = {
        {true, true, kDatGrid, kDatGrid},
        {false, true, noDat, noDat},
        {false, false, noDat, noDat},
        {true, false, noIni + " (kept)", noIni},
    };
    for (const auto& c : cases) {
        fs::remove(in.gridPath);
        fs::remove(in.settingsPath);
        if (c.dat)
            std::ofstream(in.gridPath, std::ios::binary)
                << "3\r\n2\r\n1.0\r\n0.5\r\n10\r\n11\r\n12\r\n20\r\n21\r\n22";
        if (c.ini) std::ofstream(in.settingsPath, std::ios::binary) << Join(kIni, "\r\n");
        for (const SettingsOpened when :
             {SettingsOpened::AfterTheGrid, SettingsOpened::BeforeTheGrid}) {
            Grid grid;
            DisplaySettings settings;
            const LoadResult r = LoadInputs(in, Pool(2), grid, settings, {}, when);
            EXPECT_EQ(Described(r, grid), when == SettingsOpened::AfterTheGrid ? c.after : c.before)
                << c.dat << c.ini;
            EXPECT_EQ(r.ok ? Described(r, settings) : kIniListing, kIniListing);
        }
    }
    fs::remove_all(dir);
}

// Each file is a pipe whose writer sends half of it, then, while a non-restarting signal hits the
// loading thread, the rest, and holds its end open: the load ends within a second with what the
// same text gives from memory.
TEST(StartupFiles, PipesHeldOpenAfterTheLastLine) {
    struct sigaction quiet = {}, old = {};
    quiet.sa_handler = [](int) {};
    sigemptyset(&quiet.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &quiet, &old), 0);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quorlane_pipes_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    WorkerPool& pool = Pool(4);
    string grid = "100 80 1 1\n";  // about 40 KB: far more than one read of the header takes
    for (int k = 0; k < 100 * 80; ++k) grid += std::to_string(k % 997) + ".5\n";
    const string ini = "-2.5\n7\n0\n0\n0\n0\n0\n255\n640\n480\n20\n30\n20\n10\nDepth\n1\n1\n";
    Grid g;
    DisplaySettings s;
    MemorySource gridText(grid.data(), grid.size());
    const struct {
        string name, text, plain;  // plain: the outcome of the same text read from memory
    } cases[] = {{"quorlane.dat", grid, Described(LoadGridFrom(g, gridText, pool), g)},
                 {"quorlane.ini", ini, Described(LoadSettingsBytes(s, ini.data(), ini.size()), s)}};
    for (const auto& c : cases) {
        const string path = (dir / c.name).string();
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
        // The writer's end, opened for reading as well so that no open waits for the other end.
        const int writer = open(path.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(writer, 0) << path;
        const auto send = [writer](const string& t) {
            return write(writer, t.data(), t.size()) == ssize_t(t.size());
        };
        std::packaged_task<string()> task([&] {
            return c.name == "quorlane.dat" ? Described(LoadGrid(g, pool, path), g)
                                            : Described(LoadSettings(s, path), s);
        });
        std::future<string> load = task.get_future();
        std::thread loader(std::move(task));
        const size_t half = c.text.size() / 2;
        bool sent = send(c.text.substr(0, half));  // the load drains the pipe as it reads
        for (int k = 0; k < 20; ++k) {
            pthread_kill(loader.native_handle(), SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sent = sent && send(c.text.substr(half));
        const bool inTime = load.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
        close(writer);  // a load still waiting sees the end
        loader.join();
        const string got = load.get();
        EXPECT_TRUE(sent && inTime) << c.name;
        EXPECT_TRUE(got == c.plain) << c.name << ": " << got.substr(0, 200);
    }
    sigaction(SIGUSR1, &old, nullptr);
    std::filesystem::remove_all(dir);
}

}  // namespace

}  // namespace quorlane
