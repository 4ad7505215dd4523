#pragma once
// A PNG file of 8-bit RGB pixels written by the project's own code on zlib:
// the signature, IHDR, tEXt or iTXt, IDAT and IEND chunks with their CRCs.
// The rows are filtered (one filter for the whole picture, or Adaptive's
// choice for each row) and compressed by zlib; a picture may be compressed in
// strips of rows on a worker pool, independent deflate blocks joined with a
// full flush, so that one picture costs less wall time. Portable: the bytes
// go to a sink of the caller's.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quorlane {

class WorkerPool;

// Where the file's bytes go. False from Write ends the file.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual bool Write(const uint8_t* bytes, size_t count) = 0;
};

// The row filters of PNG, by their numbers in the file; Adaptive is none of
// them but a choice for each row between Sub and Up: the one that leaves
// more zero bytes. On the exporter's pictures that compresses better than
// either alone, and better than the usual guess (the smallest sum of the
// bytes taken as signed), at the cost of one more filter (docs/performance.md).
enum class PngFilter : uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4, Adaptive = 5 };

// The defaults are the exporter's: the filter and level chosen on the
// benchmark's pictures and the examples for the time of a frame against the
// file's size (docs/performance.md).
struct PngOptions {
    PngFilter filter = PngFilter::Adaptive;
    int level = 2;        // zlib's compression level, 0 to 9
    unsigned strips = 1;  // strips of rows compressed apart (on the pool when one is given)
    // Text chunks (tEXt, or iTXt for text beyond Latin-1): keyword and text,
    // e.g. {"Software", "Quorlane 1.0.0"}.
    std::vector<std::pair<std::string, std::string>> texts;
    // Once set (from any thread), the compression gives up between bands of rows.
    const std::atomic<bool>* stop = nullptr;
};

// The strips of rows a picture is best compressed in: one for every 2^18
// pixels, at least one and at most 8, so that one picture alone is encoded
// on several cores; fewer where their rows would take more than 64 MB (a
// picture over about 700,000 pixels wide). The file depends on the picture
// alone, not on the cores.
unsigned PngStrips(int width, int height);

// Memory a writer keeps from one picture to the next (zlib's state and the
// rows of each strip), so that a run of pictures reuses it. One for each
// thread that writes.
class PngScratch {
  public:
    PngScratch();
    ~PngScratch();
    PngScratch(const PngScratch&) = delete;
    PngScratch& operator=(const PngScratch&) = delete;
    // The writer's own: what each strip keeps.
    struct Strip;
    std::vector<std::unique_ptr<Strip>> strips;
};

// Writes the width × height pixels (both at least 1) starting at `pixels`,
// row after row `pitch` pixels apart, each 0x00RRGGBB, as a PNG file to
// `sink`, using `scratch` when it is given. Strips are compressed on `pool`
// when it is given. The bytes of the
// file depend on the pixels and the options alone, never on the pool. Memory
// beyond the compressed rows stays a few bands of rows whatever the picture's
// size. False when the sink fails, memory runs out or `stop` is set; the sink
// has then had part of a file, or none of it.
bool WritePng(const uint32_t* pixels, ptrdiff_t pitch, int width, int height,
              const PngOptions& options, ByteSink& sink, WorkerPool* pool = nullptr,
              PngScratch* scratch = nullptr);

}  // namespace quorlane
