#pragma once
// The Grid: the field's samples read from the grid file, stored as 32-bit
// floats row after row with a ghost border one cell wide that repeats the
// nearest sample. A grid is filled by one load and only read afterwards, by
// every paint; a reload (--watch) fills a new one that replaces it whole.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace quorlane {

// An allocator that leaves new floats uninitialised: the loader writes every
// cell, so zero-filling the block first would only touch its pages twice.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using CellBlock = std::vector<float, UninitialisedAllocator<float>>;

struct Grid {
    uint32_t columns = 0;      // cells across
    uint32_t rows = 0;         // cells down
    float cellWidth = 0.0f;    // width of one cell in world units
    float cellHeight = 0.0f;   // height of one cell in world units
    float fieldWidth = 0.0f;   // columns × cellWidth, rounded to a float
    float fieldHeight = 0.0f;  // rows × cellHeight, rounded to a float
    // (columns + 2) × (rows + 2) cells, row after row: cell (i, j) is
    // cells[j × Stride() + i]. Columns 1..columns and rows 1..rows hold the
    // samples (column 1 at the left, row 1 at the top); column 0, column
    // columns + 1, row 0 and row rows + 1 form the ghost border.
    CellBlock cells;

    // The distance between two rows of `cells`.
    uint32_t Stride() const { return columns + 2; }
    // True once a grid has been loaded.
    bool Loaded() const { return !cells.empty(); }
    const float* Row(uint32_t j) const { return cells.data() + size_t(j) * Stride(); }
    float& Cell(uint32_t i, uint32_t j) { return cells[size_t(j) * Stride() + i]; }
    float Cell(uint32_t i, uint32_t j) const { return cells[size_t(j) * Stride() + i]; }
};

// Sizes the grid for columns × rows cells of the given size in world units
// (the samples and the border left to be written). False when the block
// cannot be allocated; the grid is then empty.
bool ShapeGrid(Grid& grid, uint32_t columns, uint32_t rows, float cellWidth, float cellHeight);

// Copies every sample at the edge into the ghost cells beside it.
void FillGhostBorder(Grid& grid);

}  // namespace quorlane
