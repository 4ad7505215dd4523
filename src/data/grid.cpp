// Loading "quorlane.dat" into the Grid: four header tokens, then one value
// line per sample, row by row, then the ghost border.
#include "data/grid.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "data/textread.h"

namespace {

const char kCannotOpen[] = "Cannot open \"quorlane.dat\"";
const char kErrorReading[] = "Error reading \"quorlane.dat\"";
const char kBadSize[] = "Invalid grid size in \"quorlane.dat\"";
const char kBadCell[] = "Invalid cell size in \"quorlane.dat\"";
const char kNoMemory[] = "Not enough memory for \"quorlane.dat\"";

StartupResult Fail(Grid& grid, const char* message) {
    grid = Grid();
    return StartupFail(message);
}

}  // namespace

bool ShapeGrid(Grid& grid, uint32_t columns, uint32_t rows, float cellWidth, float cellHeight) {
    grid = Grid();
    try {
        grid.cells.resize((size_t(columns) + 2) * (size_t(rows) + 2));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    grid.columns = columns;
    grid.rows = rows;
    grid.cellWidth = cellWidth;
    grid.cellHeight = cellHeight;
    grid.fieldWidth = float(double(columns) * double(cellWidth));
    grid.fieldHeight = float(double(rows) * double(cellHeight));
    return true;
}

void FillGhostBorder(Grid& grid) {
    const uint32_t nx = grid.columns, ny = grid.rows;
    grid.Cell(0, 0) = grid.Cell(1, 1);
    grid.Cell(nx + 1, 0) = grid.Cell(nx, 1);
    grid.Cell(0, ny + 1) = grid.Cell(1, ny);
    grid.Cell(nx + 1, ny + 1) = grid.Cell(nx, ny);
    for (uint32_t i = 1; i <= nx; ++i) {
        grid.Cell(i, 0) = grid.Cell(i, 1);
        grid.Cell(i, ny + 1) = grid.Cell(i, ny);
    }
    for (uint32_t j = 1; j <= ny; ++j) {
        grid.Cell(0, j) = grid.Cell(1, j);
        grid.Cell(nx + 1, j) = grid.Cell(nx, j);
    }
}

StartupResult LoadGridBytes(Grid& grid, char* data, size_t n) {
    grid = Grid();
    TextIn in = OpenText(data, n);

    // Header: cells across, cells down, cell width, cell height, each one
    // token. A token too long for its buffer spoils the value it stands for.
    std::string_view tok[4];
    bool tokOk[4];
    for (int k = 0; k < 4; ++k) {
        TokenRead r = ReadToken(in, tok[k]);
        if (r == TokenRead::End) return Fail(grid, kErrorReading);
        tokOk[k] = r == TokenRead::Ok;
    }
    const int32_t nx = tokOk[0] ? IntPrefix(tok[0]) : 0;
    const int32_t ny = tokOk[1] ? IntPrefix(tok[1]) : 0;
    const float dx = tokOk[2] ? RealPrefix(tok[2]) : 0.0f;
    const float dy = tokOk[3] ? RealPrefix(tok[3]) : 0.0f;
    if (nx < 1 || ny < 1) return Fail(grid, kBadSize);
    // The block of 4 × (columns + 2) × (rows + 2) bytes must be sized in 32 bits.
    const uint64_t bytes = 4 * (uint64_t(nx) + 2) * (uint64_t(ny) + 2);
    if (bytes > 0xFFFFFFFFu) return Fail(grid, kBadSize);
    if (!(std::isfinite(dx) && dx > 0.0f) || !(std::isfinite(dy) && dy > 0.0f))
        return Fail(grid, kBadCell);
    if (!ShapeGrid(grid, uint32_t(nx), uint32_t(ny), dx, dy)) return Fail(grid, kNoMemory);

    // Values: one line read per sample; a line without a number gives 0.
    for (uint32_t j = 1; j <= grid.rows; ++j) {
        float* row = &grid.Cell(0, j);
        for (uint32_t i = 1; i <= grid.columns; ++i) {
            std::string_view line;
            if (!ReadLine(in, line)) return Fail(grid, kErrorReading);
            row[i] = RealPrefix(line);
        }
    }
    FillGhostBorder(grid);
    return StartupOk();
}

StartupResult LoadGrid(Grid& grid, const char* path) {
    grid = Grid();
    std::vector<char> bytes;
    if (!ReadFileBytes(path, bytes)) return Fail(grid, kCannotOpen);
    return LoadGridBytes(grid, bytes.data(), bytes.size());
}
