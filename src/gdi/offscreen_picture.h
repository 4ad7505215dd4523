#pragma once
// The off-screen picture of the main window: one 32-bit top-down DIB section
// selected into a memory DC. It outlives resizes: it is made at the first
// paint at least as large as the virtual screen, grows generously when the
// client outgrows it and never shrinks while the window lives. Every page of
// it is written once when it is made, so that a repaint after a resize to a
// size that fits writes only into memory that is already there. The exporter
// keeps pictures of exactly the size it writes instead.
#include <windows.h>

#include <cstdint>

#include "render/paint.h"
#include "render/picture_side.h"

namespace quorlane {

// How a picture is sized when it must be made anew: for a window (as above),
// or exactly the size asked for, made again whenever that size changes.
enum class PictureSizing { Window, Exact };

class OffscreenPicture {
  public:
    explicit OffscreenPicture(PictureSizing sizing = PictureSizing::Window) : sizing_(sizing) {}
    ~OffscreenPicture() { Release(); }
    OffscreenPicture(const OffscreenPicture&) = delete;
    OffscreenPicture& operator=(const OffscreenPicture&) = delete;

    // Makes sure the picture holds a width × height client area (both > 0),
    // making a larger one if it does not (an exact picture: unless it is
    // exactly that size). When no memory can be had for the larger picture,
    // not even for exactly the client, it returns false and the picture
    // stays as it was.
    bool Reserve(HDC reference, int width, int height);

    // Releases the DIB section and the memory DC; the next Reserve starts anew.
    void Release();

    HDC dc() const { return memDC_; }
    // The pixels, row after row, `width()` pixels from one row to the next.
    PixelImage image() const { return {bits_, width_}; }
    int width() const { return width_; }
    int height() const { return height_; }
    // How many DIB sections Reserve has made since the picture was made.
    int made() const { return made_; }

  private:
    bool Make(HDC reference, int width, int height);

    PictureSizing sizing_;
    HDC memDC_ = nullptr;
    HBITMAP dib_ = nullptr;
    HGDIOBJ firstBitmap_ = nullptr;  // the memory DC's own bitmap, put back before deleting it
    uint32_t* bits_ = nullptr;
    int width_ = 0, height_ = 0;
    int made_ = 0;
};

}  // namespace quorlane
