// The client picture: the core's picture and the three texts, in the
// off-screen picture.
#include "gdi/client_picture.h"

#include <atomic>

#include "common/worker_pool.h"
#include "render/layout.h"
#include "render/paint.h"

using namespace quorlane;

bool DrawClientPicture(OffscreenPicture& picture, HDC reference, const Grid& grid,
                       const FieldRowPainter& painter, WorkerPool& pool, int width, int height,
                       const std::function<void()>& beside) {
    if (!picture.Reserve(reference, width, height)) return false;
    GdiFlush();  // GDI is done with the bits before the core writes them
    const Layout layout = ComputeLayout(grid, painter.Settings(), width, height);
    const PixelImage image = picture.image();
    bool drawn = false;
    if (beside) {
        std::atomic<bool> painted{false};
        pool.Submit([&] {
            drawn = PaintClient(grid, painter, layout, image, pool);
            painted = true;
        });
        beside();
        pool.HelpUntil([&] { return painted.load(); });
    } else {
        drawn = PaintClient(grid, painter, layout, image, pool);
    }
    if (!drawn) return false;
    for (int t = 0; t < layout.textCount; ++t) {
        const PaintText& pt = layout.texts[t];
        TextOutA(picture.dc(), pt.x, pt.y, pt.str, pt.count);
    }
    return true;
}
