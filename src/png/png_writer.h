#pragma once
// A PNG file of 8-bit RGB pixels written by the project's own code on zlib:
// the signature, IHDR, tEXt, IDAT and IEND chunks with their CRCs. The rows
// are filtered with one filter for the whole picture and compressed by
// zlib; a picture may be compressed in strips of rows on a worker pool,
// independent deflate blocks joined with a full flush, so that one picture
// costs less wall time. Portable: the bytes go to a sink of the caller's.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class WorkerPool;

// Where the file's bytes go. False from Write ends the file.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual bool Write(const uint8_t* bytes, size_t count) = 0;
};

// The row filters of PNG, by their numbers in the file.
enum class PngFilter : uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

struct PngOptions {
    PngFilter filter = PngFilter::Up;
    int level = 1;        // zlib's compression level, 0 to 9
    unsigned strips = 1;  // strips of rows compressed apart (on the pool when one is given)
    // tEXt chunks: keyword and text, e.g. {"Software", "Quorlane 1.0.0"}.
    std::vector<std::pair<std::string, std::string>> texts;
};

// Writes the width × height pixels (both at least 1) starting at `pixels`,
// row after row `pitch` pixels apart, each 0x00RRGGBB, as a PNG file to
// `sink`. Strips are compressed on `pool` when it is given. False when the
// sink fails or memory runs out; the sink has then had part of a file.
bool WritePng(const uint32_t* pixels, ptrdiff_t pitch, int width, int height,
              const PngOptions& options, ByteSink& sink, WorkerPool* pool = nullptr);
