// The off-screen picture: making the DIB section at the size asked for, and
// releasing it.
#include "gdi/offscreen_picture.h"

#include <algorithm>

namespace quorlane {

namespace {

// Writes one word into every page of a fresh picture: the pages of a new DIB
// section come in only when first written, which inside a paint costs more
// than the paint itself (see docs/performance.md).
void TouchEveryPage(uint32_t* bits, size_t words) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t step = std::max<size_t>(info.dwPageSize / sizeof(uint32_t), 1);
    for (size_t k = 0; k < words; k += step) bits[k] = 0;
    if (words > 0) bits[words - 1] = 0;
}

}  // namespace

bool OffscreenPicture::Reserve(HDC reference, int width, int height) {
    if (sizing_ == PictureSizing::Exact)
        return (bits_ != nullptr && width == width_ && height == height_) ||
               Make(reference, width, height);
    return Holds(width, height) ||
           Make(reference, std::max(width, width_), std::max(height, height_));
}

bool OffscreenPicture::Make(HDC reference, int width, int height) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(reference, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib == nullptr || bits == nullptr) {
        if (dib != nullptr) DeleteObject(dib);
        return false;
    }
    if (memDC_ == nullptr) {
        memDC_ = CreateCompatibleDC(reference);
        if (memDC_ == nullptr) {
            DeleteObject(dib);
            return false;
        }
        firstBitmap_ = SelectObject(memDC_, dib);
    } else {
        SelectObject(memDC_, dib);
        DeleteObject(dib_);
    }
    dib_ = dib;
    bits_ = static_cast<uint32_t*>(bits);
    width_ = width;
    height_ = height;
    ++made_;
    TouchEveryPage(bits_, size_t(width) * size_t(height));
    return true;
}

void OffscreenPicture::Release() {
    if (memDC_ != nullptr) {
        if (firstBitmap_ != nullptr) SelectObject(memDC_, firstBitmap_);
        DeleteDC(memDC_);
    }
    if (dib_ != nullptr) DeleteObject(dib_);
    memDC_ = nullptr;
    dib_ = nullptr;
    firstBitmap_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
}

}  // namespace quorlane
