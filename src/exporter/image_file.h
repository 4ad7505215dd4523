#pragma once
// Image files of a picture's 32-bit pixels as 24-bit colour: PNG by the
// project's own writer on zlib (src/png), BMP and TIFF through the Windows
// Imaging Component (wic_encoder). A file is written under a temporary name in
// its own folder and renamed into place (win/atomic_write), so that a file of
// the final name is always whole.
#include <windows.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "common/worker_pool.h"
#include "exporter/options/output_names.h"
#include "exporter/wic_encoder.h"
#include "png_writer/png_writer.h"
#include "render/paint.h"

namespace quorlane {

// The texts an exported PNG names its source and its maker with: the input
// as given, and the program and its version.
std::vector<std::pair<std::string, std::string>> ProvenanceTexts(const std::string& source);

// How PNG files are encoded. The program takes the defaults; the benchmark
// compares others, and the Windows Imaging Component's encoder.
struct PngEncoding {
    // The row filter and zlib's level: chosen on the benchmark's pictures and
    // the examples for the time of a frame within 1.6 times the size of the
    // imaging component's default PNG (docs/performance.md).
    PngFilter filter = PngFilter::Adaptive;
    int level = 2;
    bool imagingComponent = false;  // the imaging component's encoder, with wicFilter
    WicPngFilter wicFilter = WicPngFilter::Unspecified;
};

// The reason for an error code (a Win32 error or an HRESULT) in a few words:
// the usual failures of writing a file in the exporter's own, else the
// system's text.
std::string ErrorReason(HRESULT error);

// One writer serves one thread (see WicEncoder), and it keeps the memory it
// encodes in from one file to the next.
class ImageFileWriter {
  public:
    enum class Outcome { Written, Exists, Failed, Stopped };

    // Writes the top-left width × height pixels of `image` (0x00RRGGBB) to
    // the file `path` (UTF-8) in `format`; a PNG file names `source` (the
    // input as given) and the program in text chunks, and its strips are
    // compressed on `pool` when it is given. A file of that name is replaced
    // only when `replace`, else the outcome is Exists and it is left as it
    // was. On Failed, `reason` tells why; on Stopped, the stop flag was set
    // while the file was written. Unless Written, no file of the final name
    // is made or changed and no temporary file is left.
    Outcome Write(PixelImage image, int width, int height, ImageFormat format,
                  const std::string& path, bool replace, std::string& reason,
                  const std::string& source = std::string(), WorkerPool* pool = nullptr);

    void SetPngEncoding(const PngEncoding& png) { png_ = png; }
    // A flag that, once set (from any thread), ends the file being written.
    void SetStop(const std::atomic<bool>* stop) { stop_ = stop; }

  private:
    // The picture into `file` as PNG by the project's own writer.
    HRESULT EncodePng(PixelImage image, int width, int height, HANDLE file,
                      const std::string& source, WorkerPool* pool);

    WicEncoder wic_;
    PngEncoding png_;
    PngScratch pngScratch_;
    const std::atomic<bool>* stop_ = nullptr;
};

}  // namespace quorlane
