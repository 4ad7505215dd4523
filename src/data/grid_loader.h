#pragma once
// Loading the grid file into the Grid: four header tokens (cells across,
// cells down, cell width, cell height), then one value line per sample, row
// after row, then the ghost border. The value lines are parsed on a worker
// pool that the caller owns; every way of reading gives the same grid.
#include <cstddef>
#include <string>

#include "data/grid.h"
#include "data/startup.h"

class ByteSource;
class WorkerPool;

// How the value lines are split for parsing: the text is read in pieces of
// up to `pieceBytes` (at least 78), cut where a line read starts, and each
// piece is parsed on the pool into its own cells while the next is read.
// At most `pieces` pieces are held at once (0: a few more than the pool's
// threads). Every choice gives the same grid.
struct GridLoadOptions {
    size_t pieceBytes = size_t(1) << 20;
    unsigned pieces = 0;
};

// Loads the grid file at `path` (UTF-8; by default "quorlane.dat" in the
// working directory) into `grid`. Reports name the file as `path` gives it.
// On failure `grid` is left empty: no partial grid is kept.
StartupResult LoadGrid(Grid& grid, WorkerPool& pool, const std::string& path = "quorlane.dat");
// Loads grid text from a source; reports name the file `path`. Reading
// stops once every value line has been read.
StartupResult LoadGridFrom(Grid& grid, ByteSource& source, WorkerPool& pool,
                           const GridLoadOptions& options = {},
                           const std::string& path = "quorlane.dat");
// Loads grid text already in memory.
StartupResult LoadGridBytes(Grid& grid, const char* data, size_t n, WorkerPool& pool);
