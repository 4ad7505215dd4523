// Start-up files unlike a plain file: endless header tokens, pipes held open, interrupted reads.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "load_support.h"

namespace quorlane {

namespace {

using std::string;

const string kValues = "10\n11\n12\n20\n21\n22\n";
const string kSize = "fail: Invalid grid size in \"quorlane.dat\"";
const string kCell = "fail: Invalid cell size in \"quorlane.dat\"";

// Long and endless tokens of digits, letters or NUL bytes in each place of the header give the
// report of their field holding 0, read no further than the 80th character, even at the end.
TEST(LongHeaderTokens, ReportedAtOnce) {
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

// Each file is a pipe whose writer sends half of it, then, while a non-restarting signal hits the
// loading thread, the rest, and holds its end open: the load ends within a second with what the
// same text gives from memory.
TEST(Pipes, HeldOpenAfterTheLastLine) {
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
