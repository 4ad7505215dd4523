#pragma once
// The off-screen picture of the main window: one 32-bit top-down DIB section
// selected into a memory DC. It outlives resizes: the viewer makes it at the
// first paint and whenever the client outgrows it, at the sides its growth
// rule gives (viewer/rules/picture_side), and it never shrinks while the
// window lives. Every page of it is written once when it is made, so that a
// repaint after a resize to a size that fits writes only into memory that is
// already there. The exporter keeps pictures of exactly the size it writes
// instead.
#include <windows.h>

#include <cstdint>

#include "render/paint.h"

namespace quorlane {

// How Reserve sizes a picture: for a window (kept while the client fits in
// it, else made just large enough), or exactly the size asked for, made again
// whenever that size changes.
enum class PictureSizing { Window, Exact };

class OffscreenPicture {
  public:
    explicit OffscreenPicture(PictureSizing sizing = PictureSizing::Window) : sizing_(sizing) {}
    ~OffscreenPicture() { Release(); }
    OffscreenPicture(const OffscreenPicture&) = delete;
    OffscreenPicture& operator=(const OffscreenPicture&) = delete;

    // Makes sure the picture holds a width × height client area (both > 0),
    // making one just large enough if it does not (an exact picture: unless
    // it is exactly that size). False, the picture as it was, when no memory
    // can be had for it.
    bool Reserve(HDC reference, int width, int height);

    // Whether the picture holds a width × height client area.
    bool Holds(int width, int height) const {
        return bits_ != nullptr && width <= width_ && height <= height_;
    }
    // Makes the picture anew at width × height (both > 0). False, the
    // picture as it was, when no memory can be had for it.
    bool Make(HDC reference, int width, int height);

    // Releases the DIB section and the memory DC; the next Reserve starts anew.
    void Release();

    HDC dc() const { return memDC_; }
    // The pixels, row after row, `width()` pixels from one row to the next.
    PixelImage image() const { return {bits_, width_}; }
    int width() const { return width_; }
    int height() const { return height_; }
    // How many DIB sections it has made (Make and Reserve alike).
    int made() const { return made_; }

  private:
    PictureSizing sizing_;
    HDC memDC_ = nullptr;
    HBITMAP dib_ = nullptr;
    HGDIOBJ firstBitmap_ = nullptr;  // the memory DC's own bitmap, put back before deleting it
    uint32_t* bits_ = nullptr;
    int width_ = 0, height_ = 0;
    int made_ = 0;
};

}  // namespace quorlane
