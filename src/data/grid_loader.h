#pragma once
// Loading the grid file into the Grid: four header tokens (cells across,
// cells down, cell width, cell height), then one value line per sample, row
// after row, then the ghost border. The value lines are parsed on a worker
// pool that the caller owns; every way of reading gives the same grid.
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "common/names.h"
#include "data/grid.h"
#include "data/load_result.h"

namespace quorlane {

class ByteSource;
class WorkerPool;

// The text space of the pieces, kept by a caller that loads one grid file
// after another so that every load after the first reads into memory already
// in use: a read into fresh memory costs a page fault or more on each of its
// pages, see docs/performance.md.
class GridTextBuffer {
  public:
    // At least `bytes` of text space, or nullptr when they cannot be had.
    char* Reserve(size_t bytes);

  private:
    std::unique_ptr<char[]> text_;
    size_t size_ = 0;
};

// How the value lines are split for parsing: the text is read in pieces of
// up to `pieceBytes` (at least 78), cut where a line read starts, and each
// piece is parsed on the pool into its own cells while the next is read.
// At most `pieces` pieces are held at once (0: a few more than the pool's
// threads). The pieces are read into `buffer` when one is given, else into
// text space of the load's own. Every choice gives the same grid.
// Once `stop` is set (from any thread) the load gives up before its next
// piece and fails.
struct GridLoadOptions {
    size_t pieceBytes = size_t(1) << 20;
    unsigned pieces = 0;
    GridTextBuffer* buffer = nullptr;
    const std::atomic<bool>* stop = nullptr;
};

// Called, when given, on the thread that parsed them, once for each piece,
// with the samples first … first + count − 1 (row after row, from 0) just
// written, while they are still in that thread's cache; calls may come on
// several threads at once and in any order. It must neither allocate nor
// throw.
using PiecesParsed = std::function<void(const Grid& grid, size_t first, size_t count)>;

// Loads the grid file at `path` (UTF-8; by default "quorlane.dat" in the
// working directory) into `grid`. Reports name the file as `path` gives it.
// On failure `grid` is left empty: no partial grid is kept.
LoadResult LoadGrid(Grid& grid, WorkerPool& pool, const std::string& path = kGridFileName,
                    const GridLoadOptions& options = {}, const PiecesParsed& parsed = nullptr);
// Loads grid text from a source; reports name the file `path`. Reading
// stops once every value line has been read.
LoadResult LoadGridFrom(Grid& grid, ByteSource& source, WorkerPool& pool,
                        const GridLoadOptions& options = {},
                        const std::string& path = kGridFileName,
                        const PiecesParsed& parsed = nullptr);
// Loads grid text already in memory.
LoadResult LoadGridBytes(Grid& grid, const char* data, size_t n, WorkerPool& pool);

}  // namespace quorlane
