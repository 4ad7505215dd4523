#pragma once
// The client picture: exactly what the main window shows for a client of a
// given size, drawn into an off-screen picture. The window blits it; the
// exporter encodes it. There is no other drawing of it.
#include <windows.h>

#include <functional>

#include "data/grid.h"
#include "gdi/offscreen_picture.h"
#include "render/field_row.h"

namespace quorlane {
class WorkerPool;
}
using quorlane::FieldRowPainter;
using quorlane::Grid;
using quorlane::WorkerPool;

// Draws the client picture of width × height pixels (both > 0) into the
// top-left area of `picture`, reserving room for it first: the core's
// picture of the grid in the painter's colours, painted on `pool`, then the
// three texts with the memory DC's defaults (the system font, black on opaque
// white). `beside`, when given, runs on the calling thread while the pool
// paints. False, with nothing drawn, when no memory can be had for the
// picture or the paint.
bool DrawClientPicture(OffscreenPicture& picture, HDC reference, const Grid& grid,
                       const FieldRowPainter& painter, WorkerPool& pool, int width, int height,
                       const std::function<void()>& beside = {});
