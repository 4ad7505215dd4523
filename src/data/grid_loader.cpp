// Loading the grid file into the Grid: four header tokens, then one value
// line per sample, row by row, then the ghost border.
#include "data/grid_loader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "common/worker_pool.h"
#include "data/bytesource.h"
#include "data/textread.h"

namespace quorlane {

namespace {

// The grid file's own reasons; each names the file after it.
const char kBadSize[] = "Invalid grid size in";
const char kBadCell[] = "Invalid cell size in";

// The value lines, read in pieces and parsed on the pool. Every position
// right after a line feed starts a line read, and so does every 78th
// character of a line without one; a piece is cut at such a place, so its
// line reads can be counted at once, and with them the cell where the next
// piece starts. The reading thread fills a piece, cuts it, hands it to the
// pool with its first cell and its count of reads, and parses pieces itself
// while it waits for a piece to come free. The tasks write disjoint cells,
// allocate nothing, and each frees its piece when done.
class ValueReader {
  public:
    ValueReader(Grid& grid, TextSource& text, WorkerPool& pool, const PiecesParsed& parsed)
        : grid_(grid), text_(text), pool_(pool), parsed_(parsed ? &parsed : nullptr) {}
    ~ValueReader() { WaitAll(); }

    // Reads the grid's value lines into its cells: the text's first line
    // read goes to cell (1, 1). Returns nullptr or the failure's message.
    const char* ReadAll(const GridLoadOptions& options);

  private:
    struct Piece {
        char* text = nullptr;
        size_t size = 0;   // bytes of the piece
        size_t first = 0;  // sample index (row after row, from 0) of its first line read
        size_t reads = 0;  // line reads to parse
        std::atomic<bool> busy{false};
    };

    void Parse(Piece& s);
    void WaitAll();

    Grid& grid_;
    TextSource& text_;
    WorkerPool& pool_;
    const PiecesParsed* parsed_ = nullptr;
    std::unique_ptr<Piece[]> pieces_;
    unsigned pieceCount_ = 0;
};

const char* ValueReader::ReadAll(const GridLoadOptions& options) {
    const size_t capacity = std::max(options.pieceBytes, kLineMax);
    unsigned pieces = options.pieces;
    if (pieces == 0) pieces = std::min(pool_.Threads() + 2, 8u);
    if (pool_.Threads() == 1) pieces = 1;  // each piece is parsed as it is handed over
    if (capacity > SIZE_MAX / pieces) return kNotEnoughMemoryFor;
    GridTextBuffer own;
    char* const text =
        (options.buffer != nullptr ? *options.buffer : own).Reserve(capacity * pieces);
    pieces_.reset(new (std::nothrow) Piece[pieces]);
    if (text == nullptr || !pieces_) return kNotEnoughMemoryFor;
    pieceCount_ = pieces;
    for (unsigned k = 0; k < pieces; ++k) pieces_[k].text = text + k * capacity;

    const size_t cells = size_t(grid_.columns) * grid_.rows;
    size_t next = 0;              // the next sample to be handed out
    const char* carry = nullptr;  // text after the last cut: less than one line read
    size_t carried = 0;
    try {
        // A read may come short (a pipe gives what its writer has sent so
        // far): what it completes is handed over at once, and text that
        // completes no line read stays in its piece for the next read.
        for (unsigned k = 0; next < cells;) {
            if (options.stop != nullptr && options.stop->load(std::memory_order_relaxed)) break;
            Piece& s = pieces_[k];
            pool_.HelpUntil([&s] { return !s.busy.load(std::memory_order_acquire); });
            if (carried > 0 && carry != s.text) std::memmove(s.text, carry, carried);
            const size_t size = carried + text_.Read(s.text + carried, capacity - carried);
            // At the end of the text its last piece is a line read of its
            // own, unless a read error cut it short.
            const bool ended = text_.Ended();
            const size_t cut = ended && !text_.Failed() ? size : LineReadCut(s.text, size);
            const size_t reads = std::min(CountLineReads(s.text, cut), cells - next);
            carry = s.text + cut;
            carried = size - cut;
            if (reads > 0) {
                s.size = cut;
                s.first = next;
                s.reads = reads;
                s.busy.store(true, std::memory_order_relaxed);
                pool_.Submit([this, k] { Parse(pieces_[k]); });
                next += reads;
                k = (k + 1) % pieces;
            }
            if (ended) break;
        }
    } catch (const std::bad_alloc&) {  // the pool's queue could not grow
        WaitAll();
        return kNotEnoughMemoryFor;
    }
    WaitAll();
    return next < cells ? kErrorReading : nullptr;
}

void ValueReader::Parse(Piece& s) {
    const uint32_t columns = grid_.columns;
    const size_t stride = grid_.Stride();
    uint32_t i = uint32_t(s.first % columns) + 1;
    float* row = &grid_.Cell(0, uint32_t(s.first / columns) + 1);
    const char* p = s.text;
    const char* const end = s.text + s.size;
    size_t r = 0;
    for (; r < s.reads && p < end; ++r) {
        row[i] = ReadLineValue(p, end);
        if (++i > columns) {
            i = 1;
            row += stride;
        }
    }
    if (parsed_ != nullptr) (*parsed_)(grid_, s.first, r);
    s.busy.store(false, std::memory_order_release);
}

void ValueReader::WaitAll() {
    if (pieceCount_ == 0) return;
    pool_.HelpUntil([this] {
        for (unsigned k = 0; k < pieceCount_; ++k)
            if (pieces_[k].busy.load(std::memory_order_acquire)) return false;
        return true;
    });
    pieceCount_ = 0;
}

}  // namespace

char* GridTextBuffer::Reserve(size_t bytes) {
    if (bytes > size_) {
        // The old space goes first, so that the two are never held at once.
        text_.reset();
        size_ = 0;
        text_.reset(new (std::nothrow) char[bytes]);
        if (!text_) return nullptr;
        size_ = bytes;
    }
    return text_.get();
}

LoadResult LoadGridFrom(Grid& grid, ByteSource& source, WorkerPool& pool,
                        const GridLoadOptions& options, const std::string& path,
                        const PiecesParsed& parsed) {
    grid = Grid();
    const auto Fail = [&grid, &path](const char* reason) {
        grid = Grid();
        return LoadFailure(reason, path);
    };
    TextSource text(source);

    // Header: cells across, cells down, cell width, cell height, each one
    // token. A token too long for its buffer spoils the value it stands for.
    int32_t nx = 0, ny = 0;
    float dx = 0.0f, dy = 0.0f;
    for (int k = 0; k < 4; ++k) {
        std::string_view tok;
        const TokenRead r = text.ReadToken(tok, /*stopWhenTooLong=*/true);
        if (r == TokenRead::End) return Fail(kErrorReading);
        // A token too long to keep stands for 0, which its field rejects, so
        // the checks below give the report at once: the rest of the token,
        // which may never end, and of the header are left unread.
        if (r == TokenRead::TooLong) break;
        if (k < 2)
            (k == 0 ? nx : ny) = IntPrefix(tok);
        else
            (k == 2 ? dx : dy) = RealPrefix(tok);
    }
    if (nx < 1 || ny < 1) return Fail(kBadSize);
    // The block of 4 × (columns + 2) × (rows + 2) bytes must be sized in 32 bits.
    const uint64_t bytes = 4 * (uint64_t(nx) + 2) * (uint64_t(ny) + 2);
    if (bytes > 0xFFFFFFFFu) return Fail(kBadSize);
    if (!(std::isfinite(dx) && dx > 0.0f) || !(std::isfinite(dy) && dy > 0.0f))
        return Fail(kBadCell);
    if (!ShapeGrid(grid, uint32_t(nx), uint32_t(ny), dx, dy)) return Fail(kNotEnoughMemoryFor);

    // Values: one line read per sample; a line without a number gives 0.
    const char* failure = nullptr;
    {
        ValueReader values(grid, text, pool, parsed);
        failure = values.ReadAll(options);
    }
    if (failure) return Fail(failure);
    FillGhostBorder(grid);
    return LoadOk();
}

LoadResult LoadGridBytes(Grid& grid, const char* data, size_t n, WorkerPool& pool) {
    MemorySource source(data, n);
    return LoadGridFrom(grid, source, pool);
}

LoadResult LoadGrid(Grid& grid, WorkerPool& pool, const std::string& path,
                    const GridLoadOptions& options, const PiecesParsed& parsed) {
    grid = Grid();
    FileSource source;
    if (!source.Open(path)) return LoadFailure(kCannotOpen, path);
    return LoadGridFrom(grid, source, pool, options, path, parsed);
}

}  // namespace quorlane
