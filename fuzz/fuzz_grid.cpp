// The grid loader fed arbitrary text in an exact heap block: a grid has cells, finite positive
// cell sizes and a true ghost border, a failure one of the loader's messages. Read in chunks and
// pieces on two threads the text gives the same, and from a source failing halfway "Error
// reading" or the same grid. Blocks beyond kMaxBlock are skipped: they only cost time.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/worker_pool.h"
#include "data/bytesource.h"
#include "data/grid_loader.h"
#include "data/textread.h"
#include "fuzz_check.h"

namespace quorlane {

namespace {

constexpr uint64_t kMaxBlock = 4u << 20;  // bytes

// True when the header's two sizes give a block the loader accepts but larger than kMaxBlock.
bool LargeValidBlock(const uint8_t* data, size_t n) {
    MemorySource source(reinterpret_cast<const char*>(data), n);
    TextSource in(source);
    uint64_t q[2];
    for (uint64_t& v : q) {
        std::string_view token;
        if (in.ReadToken(token) != TokenRead::Ok) return false;
        int32_t k = IntPrefix(token);
        if (k < 1) return false;
        v = static_cast<uint64_t>(k);
    }
    uint64_t bytes = 4 * (q[0] + 2);
    if (bytes > 0xFFFFFFFFull) return false;
    bytes *= q[1] + 2;
    return bytes > kMaxBlock && bytes <= 0xFFFFFFFFull;
}

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckGrid(const Grid& g) {
    FUZZ_CHECK(g.columns >= 1 && g.rows >= 1);
    FUZZ_CHECK(g.cells.size() == size_t(g.columns + 2) * (g.rows + 2));
    FUZZ_CHECK(std::isfinite(g.cellWidth) && g.cellWidth > 0);
    FUZZ_CHECK(std::isfinite(g.cellHeight) && g.cellHeight > 0);
    FUZZ_CHECK(SameBits(g.fieldWidth, float(double(g.columns) * g.cellWidth)));
    FUZZ_CHECK(SameBits(g.fieldHeight, float(double(g.rows) * g.cellHeight)));
    // Every border cell holds a copy of its nearest sample.
    auto clampi = [](uint32_t v, uint32_t hi) { return v < 1 ? 1 : (v > hi ? hi : v); };
    for (uint32_t j = 0; j < g.rows + 2; ++j) {
        const bool borderRow = j == 0 || j == g.rows + 1;
        for (uint32_t i = 0; i < g.columns + 2;
             i += (borderRow || i == g.columns + 1) ? 1 : g.columns + 1)
            FUZZ_CHECK(SameBits(g.Cell(i, j), g.Cell(clampi(i, g.columns), clampi(j, g.rows))));
    }
}

// The same outcome and, for a loaded grid, the same sizes and the same bits in every cell.
bool SameLoad(LoadResult ra, const Grid& a, LoadResult rb, const Grid& b) {
    if (ra.ok != rb.ok) return false;
    if (!ra.ok) return ra.message == rb.message;
    return a.columns == b.columns && a.rows == b.rows && SameBits(a.cellWidth, b.cellWidth) &&
           SameBits(a.cellHeight, b.cellHeight) && a.cells.size() == b.cells.size() &&
           std::memcmp(a.cells.data(), b.cells.data(), a.cells.size() * sizeof(float)) == 0;
}

bool KnownMessage(const std::string& m) {
    for (const char* reason :
         {"Error reading", "Invalid grid size in", "Invalid cell size in", "Not enough memory for"})
        if (m == std::string(reason) + " \"quorlane.dat\"") return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static WorkerPool pool(2);
    if (LargeValidBlock(data, size)) return 0;
    char* text = new char[size > 0 ? size : 1];
    if (size > 0) std::memcpy(text, data, size);
    Grid grid;
    LoadResult r = LoadGridBytes(grid, text, size, pool);
    if (r.ok) {
        FUZZ_CHECK(r.message.empty());
        CheckGrid(grid);
    } else {
        FUZZ_CHECK(KnownMessage(r.message));
        FUZZ_CHECK(!grid.Loaded() && grid.columns == 0 && grid.rows == 0);
    }

    const GridLoadOptions pieces{78 + size % 61, 1 + unsigned(size % 3)};
    Grid chunked;
    MemorySource inChunks(text, size, size > 0 ? 1 + data[size - 1] % 100 : 1);
    FUZZ_CHECK(SameLoad(r, grid, LoadGridFrom(chunked, inChunks, pool, pieces), chunked));

    Grid cut;
    MemorySource failing(text, size, 1 + size % 5, size / 2);
    const LoadResult rc = LoadGridFrom(cut, failing, pool, pieces);
    FUZZ_CHECK(SameLoad(r, grid, rc, cut) ||
               (!rc.ok && rc.message == "Error reading \"quorlane.dat\""));
    delete[] text;
    return 0;
}

}  // namespace quorlane
