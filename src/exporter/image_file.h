#pragma once
// Image files written through the Windows Imaging Component: a picture's
// 32-bit pixels encoded as 24-bit colour in PNG, BMP or TIFF. A file is
// written under a temporary name in its own folder and renamed into place,
// so that a file of the final name is always whole.
#include <wincodec.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "exporter/options/output_names.h"
#include "gdi/utf.h"
#include "render/paint.h"

// The reason for an error code (a Win32 error or an HRESULT) in a few words:
// the usual failures of writing a file in the exporter's own, else the
// system's text.
std::string ErrorReason(HRESULT error);

// One writer serves one thread: it enters the thread into COM's
// multithreaded apartment and holds a WIC factory of its own, and keeps the
// row buffer it converts pixels in from one file to the next.
class ImageFileWriter {
  public:
    ImageFileWriter();
    ~ImageFileWriter();
    ImageFileWriter(const ImageFileWriter&) = delete;
    ImageFileWriter& operator=(const ImageFileWriter&) = delete;

    enum class Outcome { Written, Exists, Failed, Stopped };

    // Writes the top-left width × height pixels of `image` (0x00RRGGBB) to
    // the file `path` (UTF-8) in `format`. A file of that name is replaced
    // only when `replace`, else the outcome is Exists and it is left as it
    // was. On Failed, `reason` tells why; on Stopped, the stop flag was set
    // while the file was written. Unless Written, no file of the final name
    // is made or changed and no temporary file is left.
    Outcome Write(PixelImage image, int width, int height, ImageFormat format,
                  const std::string& path, bool replace, std::string& reason);

    // The PNG row filter. None unless set otherwise: it encodes in about
    // half the time of any other (zlib has less to search), and the files
    // come out from about as small to 1.7 times as large (docs/performance.md).
    void SetPngFilter(WICPngFilterOption filter) { pngFilter_ = filter; }
    // A flag that, once set (from any thread), ends the file being written.
    void SetStop(const std::atomic<bool>* stop) { stop_ = stop; }

  private:
    HRESULT Encode(PixelImage image, int width, int height, ImageFormat format, HANDLE file);

    HRESULT com_;
    IWICImagingFactory* factory_ = nullptr;
    WICPngFilterOption pngFilter_ = WICPngFilterNone;
    const std::atomic<bool>* stop_ = nullptr;
    std::vector<uint8_t> rows_;  // rows converted to 24-bit colour
};
