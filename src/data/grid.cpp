// The Grid's shape and its ghost border.
#include "data/grid.h"

#include <new>
#include <stdexcept>

namespace quorlane {

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

}  // namespace quorlane
