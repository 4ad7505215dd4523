#pragma once
// The readout of --probe: the system's status bar below the picture. Its
// first part shows what the pixel under the pointer shows (position, value,
// cell; the scale value over the band), the second the grid's range, the
// third how many samples lie beyond the scale. A pointer move changes the
// status bar's text only; the picture is not repainted.
#include <windows.h>

#include <string>

#include "data/grid.h"
#include "data/settings.h"
#include "probe/field_range.h"
#include "probe/readout.h"

namespace quorlane {

class ProbeBar {
  public:
    // Makes the status bar, a child of `window` along its bottom edge.
    // False when the system cannot make it.
    bool Create(HWND window, HINSTANCE instance);
    ~ProbeBar();
    ProbeBar() = default;
    ProbeBar(const ProbeBar&) = delete;
    ProbeBar& operator=(const ProbeBar&) = delete;

    HWND Handle() const { return bar_; }
    // The client height left to the picture above the bar.
    int PictureHeight(int clientHeight) const;

    // The window's client changed size: the bar follows the bottom edge.
    void Resize();
    // The window shows another grid (at start-up, after a reload, a step
    // shown), whose range is `range`: the texts are set anew.
    void GridShown(const Grid& grid, const DisplaySettings& settings, const FieldRange& range);
    // WM_MOUSEMOVE: the pointer at client pixel (x, y) of `window`; the bar
    // asks to hear when it leaves the client.
    void PointerMoved(HWND window, const Grid& grid, const DisplaySettings& settings, int x, int y);
    // WM_MOUSELEAVE: nothing under the pointer.
    void PointerLeft();
    // Ctrl+C: the readout as one line of text on the clipboard.
    bool Copy(HWND owner) const;

  private:
    void SetPart(int part, const std::string& text);
    void SetParts();
    // The pointer at client pixel (x, y) of a picture of width × height
    // pixels (outside it: nothing under the pointer).
    void PointerAt(const Grid& grid, const DisplaySettings& settings, int x, int y, int width,
                   int height);

    HWND bar_ = nullptr;
    FieldRange range_;
    PixelReading reading_;
    std::wstring shown_[3];
    // Where the pointer was last seen over the client, and the picture's size then.
    bool tracking_ = false;
    bool pointer_ = false;
    int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
};

}  // namespace quorlane
