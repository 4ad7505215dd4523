#pragma once
// The Windows Imaging Component's encoders (BMP, TIFF, and its own PNG for
// the benchmark), with COM loaded on the first picture that needs them: a run
// of PNG files alone never loads it.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "exporter/options/output_names.h"
#include "render/paint.h"

namespace quorlane {

// The imaging component's PNG row filter, by the values of its
// WICPngFilterOption.
enum class WicPngFilter : uint8_t {
    Unspecified = 0,
    None = 1,
    Sub = 2,
    Up = 3,
    Average = 4,
    Paeth = 5,
    Adaptive = 6
};

// One encoder serves one thread: it enters the thread into COM's
// multithreaded apartment and holds a factory of its own, and it keeps the
// memory it converts rows in from one picture to the next.
class WicEncoder {
  public:
    WicEncoder();
    ~WicEncoder();
    WicEncoder(const WicEncoder&) = delete;
    WicEncoder& operator=(const WicEncoder&) = delete;

    // Whether the component has an encoder of `format`.
    static bool Encodes(ImageFormat format);
    // Whether the component is there; loads it on the first call.
    bool Ready();

    // Encodes the top-left width × height pixels of `image` (0x00RRGGBB) as
    // 24-bit colour in `format` into `file`, from its start (Ready first).
    // S_OK; E_ABORT once `stop` is set; else why not, the first failure of
    // a write to the file taking precedence over what the encoder says.
    HRESULT Encode(PixelImage image, int width, int height, ImageFormat format, HANDLE file,
                   WicPngFilter pngFilter, const std::atomic<bool>* stop);

  private:
    struct Com;
    std::unique_ptr<Com> com_;   // made on the first use of the component
    std::vector<uint8_t> rows_;  // rows converted to 24-bit colour
};

}  // namespace quorlane
