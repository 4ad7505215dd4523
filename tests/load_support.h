#pragma once
// What the loading tests share: examples, descriptions of loads, ways of reading, plain reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/worker_pool.h"
#include "data/bytesource.h"
#include "data/grid_loader.h"
#include "data/settings.h"
#include "data/textread.h"

namespace quorlane {

using Strs = std::vector<std::string>;

inline uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

// Every input is fed in chunks of these sizes.
inline constexpr size_t kChunks[] = {1, 2, 3, 5, 7, 64, 4096};

inline std::string Join(const Strs& lines, const char* eol = "\n") {
    std::string s;
    for (const std::string& l : lines) s += l + eol;
    return s;
}

inline std::string Failure(LoadResult r) {
    return "fail: " + r.message;
}

// The settings example of seventeen lines, and its settings and spans by name.
inline const Strs kIni = {"0.0", "100.0", "0",  "255", "0",  "0",           "255", "0", "640",
                          "480", "20",    "30", "20",  "10", "Temperature", "1",   "1"};
inline const std::string kIniListing =
    "scaleMin=0\nscaleMax=100\nminRed=0\nmaxRed=255\nminGreen=0\nmaxGreen=0\nminBlue=255\n"
    "maxBlue=0\nwindowWidth=640\nwindowHeight=480\nbandHeight=20\nbandSideGap=30\nbandStrip=20\n"
    "intervals=10\ncaption=Temperature\nclipping=1\npalette=1\n"
    "ScaleSpan()=100\nRedSpan()=255\nGreenSpan()=0\nBlueSpan()=-255\n";

// Every setting and span as a line "name=value", named as the code names it, or the failure.
inline std::string Described(LoadResult r, const DisplaySettings& s) {
    if (!r.ok) return Failure(r);
    std::ostringstream o;
#define NAMED(field) #field "=" << +s.field << '\n'  // + shows the switches as numbers
    o << NAMED(scaleMin) << NAMED(scaleMax) << NAMED(minRed) << NAMED(maxRed) << NAMED(minGreen)
      << NAMED(maxGreen) << NAMED(minBlue) << NAMED(maxBlue) << NAMED(windowWidth)
      << NAMED(windowHeight) << NAMED(bandHeight) << NAMED(bandSideGap) << NAMED(bandStrip)
      << NAMED(intervals) << NAMED(caption) << NAMED(clipping) << NAMED(palette)
      << NAMED(ScaleSpan()) << NAMED(RedSpan()) << NAMED(GreenSpan()) << NAMED(BlueSpan());
#undef NAMED
    return o.str();
}

// Sizes, cell size, field size and the samples row by row, noting a wrong ghost border; or the
// failure, noting a grid kept.
inline std::string Described(LoadResult r, const Grid& g) {
    if (!r.ok) return Failure(r) + (g.Loaded() || g.columns || g.rows ? " (kept)" : "");
    std::ostringstream o;
    o << g.columns << 'x' << g.rows << " cells of " << g.cellWidth << 'x' << g.cellHeight
      << ", field " << g.fieldWidth << 'x' << g.fieldHeight << ':';
    bool bordered = g.cells.size() == size_t(g.columns + 2) * (g.rows + 2);
    for (uint32_t j = 0; j < g.rows + 2 && bordered; ++j)
        for (uint32_t i = 0; i < g.columns + 2; ++i)
            bordered &= Bits(g.Cell(i, j)) ==
                        Bits(g.Cell(std::clamp(i, 1u, g.columns), std::clamp(j, 1u, g.rows)));
    for (uint32_t j = 1; j <= g.rows; ++j)
        for (uint32_t i = 1; i <= g.columns; ++i)
            o << (i == 1 && j > 1 ? '/' : ' ') << g.Cell(i, j);
    return o.str() + (bordered ? "" : " (border wrong)");
}

// `head`, `count` copies of `fill`, then `tail`, at most `chunk` bytes a read. A kEndless fill
// ends after 64 MB, so that a reader that would read on for ever ends too.
class TokenSource final : public ByteSource {
  public:
    static constexpr size_t kEndless = SIZE_MAX;
    TokenSource(const std::string& head, char fill, size_t count, const std::string& tail,
                size_t chunk)
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
    std::string head_, tail_;
    char fill_;
    size_t fillEnd_, chunk_, handed_ = 0;
};

// The grid example, 3 × 2 cells.
inline const std::string kDat = "3\n2\n1.0\n0.5\n10\n11\n12\n20\n21\n22\n";
inline const std::string kDatGrid = "3x2 cells of 1x0.5, field 3x1: 10 11 12/20 21 22";
inline const std::string kNoMemory = "fail: Not enough memory for \"quorlane.dat\"";

// Pools of one thread (every piece parsed as it is read), two and four.
inline WorkerPool& Pool(unsigned threads) {
    static WorkerPool one(1), two(2), four(4);
    return threads == 1 ? one : threads == 2 ? two : four;
}

// How one load reads its text: the source's chunks, the pieces of value text and the threads.
struct Reading {
    size_t chunk, pieceBytes;
    unsigned threads, pieces;
};
inline std::ostream& operator<<(std::ostream& o, const Reading& r) {
    return o << "chunks of " << r.chunk << ", pieces of " << r.pieceBytes << " (" << r.pieces
             << " held), " << r.threads << " threads";
}
// Every chunk size with the smallest, line-cutting and usual pieces, on one, two and four threads.
inline std::vector<Reading> Readings() {
    std::vector<Reading> all;
    for (size_t chunk : kChunks)
        for (size_t piece : {size_t(1), size_t(79), size_t(100), size_t(1) << 20})
            for (unsigned threads : {1u, 2u, 4u})
                all.push_back({chunk, piece, threads, piece == 100 ? 2u : 0u});
    return all;
}

// Loads `text` into a grid that already holds the example.
inline std::string GridFrom(const std::string& text, const Reading& how,
                            size_t failAt = MemorySource::kNever) {
    Grid g;
    EXPECT_TRUE(LoadGridBytes(g, kDat.data(), kDat.size(), Pool(2)).ok);
    MemorySource source(text.data(), text.size(), how.chunk, failAt);
    const LoadResult r = LoadGridFrom(g, source, Pool(how.threads), {how.pieceBytes, how.pieces});
    return Described(r, g);
}

// The grid of `text` read in every way (all must agree).
inline std::string GridOf(const std::string& text) {
    Grid g;
    const std::string first = Described(LoadGridBytes(g, text.data(), text.size(), Pool(2)), g);
    for (const Reading& how : Readings())
        EXPECT_EQ(GridFrom(text, how), first) << how << ": " << testing::PrintToString(text);
    return first;
}

// The samples of grid text read one line after another; none when the text runs out first.
inline std::vector<float> PlainSamples(const std::string& text, size_t cells) {
    std::string t;
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

}  // namespace quorlane
