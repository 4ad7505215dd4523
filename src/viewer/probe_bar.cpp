// The readout's status bar: the system's control, its three parts and the
// copy to the clipboard.
#include "viewer/probe_bar.h"

#include <commctrl.h>

#include <cstring>

#include "probe/readout_text.h"
#include "render/layout.h"
#include "win/utf.h"

namespace quorlane {

namespace {

constexpr UINT_PTR kStatusBarId = 0x5B01;
// Room around a part's text: its borders and a little air.
constexpr int kPartPadding = 16;

}  // namespace

bool ProbeBar::Create(HWND window, HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    bar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                           0, 0, window, reinterpret_cast<HMENU>(kStatusBarId), instance, nullptr);
    if (bar_ == nullptr) return false;
    SetParts();
    return true;
}

ProbeBar::~ProbeBar() {
    if (bar_ != nullptr && IsWindow(bar_)) DestroyWindow(bar_);
}

int ProbeBar::PictureHeight(int clientHeight) const {
    RECT r;
    if (bar_ == nullptr || !GetWindowRect(bar_, &r)) return clientHeight;
    const int height = clientHeight - (r.bottom - r.top);
    return height > 0 ? height : 0;
}

void ProbeBar::Resize() {
    if (bar_ == nullptr) return;
    SendMessageW(bar_, WM_SIZE, 0, 0);  // the control places itself along the bottom
    SetParts();
}

void ProbeBar::SetParts() {
    RECT client;
    GetClientRect(bar_, &client);
    // The range and the count parts as wide as their texts, the pointer's part the rest.
    int widths[2] = {0, 0};
    if (HDC dc = GetDC(bar_)) {
        const HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(bar_, WM_GETFONT, 0, 0)));
        for (int k = 0; k < 2; ++k) {
            SIZE size = {0, 0};
            GetTextExtentPoint32W(dc, shown_[k + 1].c_str(), int(shown_[k + 1].size()), &size);
            widths[k] = size.cx + kPartPadding;
        }
        SelectObject(dc, old);
        ReleaseDC(bar_, dc);
    }
    // The pointer's part, the one that changes, keeps at least 55% of the bar.
    const int right = client.right - GetSystemMetrics(SM_CXVSCROLL);  // the size grip's room
    int edges[3] = {right - widths[1] - widths[0], right - widths[1], -1};
    if (edges[0] < right * 55 / 100) edges[0] = right * 55 / 100;
    if (edges[1] < edges[0] + widths[0]) edges[1] = edges[0] + widths[0];
    SendMessageW(bar_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
    for (int k = 0; k < 3; ++k)
        SendMessageW(bar_, SB_SETTEXTW, WPARAM(k), reinterpret_cast<LPARAM>(shown_[k].c_str()));
}

void ProbeBar::SetPart(int part, const std::string& text) {
    std::wstring wide = Utf16(text);
    if (wide == shown_[part]) return;
    shown_[part] = std::move(wide);
    if (bar_ != nullptr)
        SendMessageW(bar_, SB_SETTEXTW, WPARAM(part),
                     reinterpret_cast<LPARAM>(shown_[part].c_str()));
}

void ProbeBar::GridShown(const Grid& grid, const DisplaySettings& settings,
                         const FieldRange& range) {
    range_ = range;
    // The pointer, where it still is, reads the new grid.
    if (pointer_)
        PointerAt(grid, settings, x_, y_, width_, height_);
    else
        SetPart(0, std::string());
    SetPart(1, RangeText(range_, Digits::kScreen));
    SetPart(2, OutsideText(range_, Digits::kScreen));
    if (bar_ != nullptr) SetParts();
}

void ProbeBar::PointerMoved(HWND window, const Grid& grid, const DisplaySettings& settings, int x,
                            int y) {
    if (!tracking_) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    RECT client;
    GetClientRect(window, &client);
    pointer_ = true;
    x_ = x, y_ = y, width_ = client.right - client.left;
    height_ = PictureHeight(client.bottom - client.top);
    PointerAt(grid, settings, x_, y_, width_, height_);
}

void ProbeBar::PointerLeft() {
    tracking_ = pointer_ = false;
    reading_ = PixelReading();
    SetPart(0, std::string());
}

void ProbeBar::PointerAt(const Grid& grid, const DisplaySettings& settings, int x, int y, int width,
                         int height) {
    reading_ = PixelReading();
    if (x >= 0 && y >= 0 && x < width && y < height)
        reading_ = ReadPixel(grid, settings, ComputeLayout(grid, settings, width, height), x, y);
    SetPart(0, PixelText(reading_, Digits::kScreen));
}

bool ProbeBar::Copy(HWND owner) const {
    const std::wstring line = Utf16(ReadoutLine(reading_, range_));
    const size_t bytes = (line.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) return false;
    if (void* p = GlobalLock(memory)) {
        std::memcpy(p, line.c_str(), bytes);
        GlobalUnlock(memory);
    }
    if (!OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!placed) GlobalFree(memory);  // the clipboard owns it only once placed
    CloseClipboard();
    return placed;
}

}  // namespace quorlane
