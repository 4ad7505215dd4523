// Start-up files that do not read like a plain file on disk: header tokens without end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/worker_pool.h"
#include "data/bytesource.h"
#include "data/grid_loader.h"

namespace {

using std::string;

const string kValues = "10\n11\n12\n20\n21\n22\n";
const string kSize = "Invalid grid size in \"quorlane.dat\"";
const string kCell = "Invalid cell size in \"quorlane.dat\"";

// The report, or the sizes and every cell (border included) to the bit.
string Outcome(const StartupResult& r, const Grid& g) {
    if (!r.ok) return r.message;
    string s = std::to_string(g.columns) + "x" + std::to_string(g.rows);
    char b[32];
    for (float v : g.cells) s += (std::snprintf(b, sizeof b, " %a", double(v)), b);
    return s;
}

// `head`, then `count` copies of `fill`, then `tail`, at most `chunk` bytes a read. With
// kEndless the fill never ends; after 64 MB of it the source gives up and ends, so that a
// reader that would read on for ever ends too.
class TokenSource final : public ByteSource {
  public:
    static constexpr size_t kEndless = SIZE_MAX;
    TokenSource(const string& head, char fill, size_t count, const string& tail, size_t chunk)
        : head_(head),
          tail_(count == kEndless ? "" : tail),
          fill_(fill),
          fillEnd_(head.size() + std::min(count, size_t(64) << 20)),
          chunk_(chunk) {}
    size_t Read(char* buf, size_t n) override {
        size_t got = 0;
        for (n = std::min(n, chunk_); got < n && handed_ < fillEnd_ + tail_.size(); ++got) {
            const size_t k = handed_++;
            buf[got] = k < head_.size() ? head_[k] : k < fillEnd_ ? fill_ : tail_[k - fillEnd_];
        }
        return got;
    }
    bool Failed() const override { return false; }
    size_t Handed() const { return handed_; }

  private:
    string head_, tail_;
    char fill_;
    size_t fillEnd_, chunk_, handed_ = 0;
};

// A header token read for ever, or a long token whose report depends on its length or bytes:
// tokens of 80, 200 and ten million digits, letters or NUL bytes, and tokens that never end, in
// each place of the header and read in chunks of every size, give the report of their field
// holding 0 (the first field that fails), reading no further than the token's 80th character.
// So a header that ends with a long token gives that report too, not "Error reading".
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
    WorkerPool pool(2);
    for (const auto& c : cases)
        for (char fill : {'7', 'x', '\0'})
            for (size_t length : {size_t(80), size_t(200), size_t(10000000), TokenSource::kEndless})
                for (size_t chunk : {size_t(1), size_t(7), size_t(4096)}) {
                    TokenSource source(c.before, fill, length, c.after, chunk);
                    Grid g;
                    EXPECT_EQ(Outcome(LoadGridFrom(g, source, pool), g), c.report)
                        << testing::PrintToString(c.before) << " then " << length << " of "
                        << int(fill) << " in chunks of " << chunk;
                    EXPECT_LE(source.Handed(), c.before.size() + 80 + 4096);
                }
}

}  // namespace
