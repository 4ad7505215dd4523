#pragma once
// The Grid: QntX × QntY samples read from "quorlane.dat", stored as 32-bit
// floats row after row with a ghost border one cell wide that repeats the
// nearest sample. Written once at start-up, read by every paint.
#include <cstddef>
#include <cstdint>

#include "data/startup.h"

extern uint32_t QntX;   // cells across
extern uint32_t QntY;   // cells down
extern uint32_t QntX2;  // QntX + 2: the row stride of `array`
extern uint32_t QntY2;  // QntY + 2
extern float delX;      // cell width in world units
extern float delY;      // cell height in world units
extern float Xmax;      // QntX × delX
extern float Ymax;      // QntY × delY
// The block of QntX2 × QntY2 cells; cell (i, j) is array[j * QntX2 + i].
// Columns 1..QntX and rows 1..QntY are the samples, the rest the border.
extern float* array;

// Loads the grid file (by default "quorlane.dat" in the working directory).
// Releases any grid loaded before.
StartupResult LoadGrid(const char* path = "quorlane.dat");
// Loads grid text already in memory; `data` is modified in place.
StartupResult LoadGridBytes(char* data, size_t n);
// Releases the block (safe to call when nothing is loaded).
void FreeGrid();
