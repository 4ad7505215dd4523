// Filtering, compressing and framing the rows of a PNG file.
#include "png_writer/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "common/worker_pool.h"

namespace quorlane {

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void PutBigEndian(uint8_t* at, uint32_t v) {
    at[0] = uint8_t(v >> 24);
    at[1] = uint8_t(v >> 16);
    at[2] = uint8_t(v >> 8);
    at[3] = uint8_t(v);
}

// One chunk: length, type, data and the CRC of type and data.
bool WriteChunk(ByteSink& sink, const char type[4], const uint8_t* data, size_t size) {
    uint8_t head[8], tail[4];
    PutBigEndian(head, uint32_t(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type), 4);
    if (size > 0) crc = crc32(crc, data, uInt(size));
    PutBigEndian(tail, uint32_t(crc));
    return sink.Write(head, 8) && (size == 0 || sink.Write(data, size)) && sink.Write(tail, 4);
}

// The Paeth predictor of PNG: the neighbour nearest to left + up - upper left.
uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Row y as RGB bytes.
void RgbRow(const uint32_t* pixels, ptrdiff_t pitch, int width, int y, uint8_t* out) {
    const uint32_t* row = pixels + ptrdiff_t(y) * pitch;
    for (int x = 0; x < width; ++x) {
        out[3 * x] = uint8_t(row[x] >> 16);
        out[3 * x + 1] = uint8_t(row[x] >> 8);
        out[3 * x + 2] = uint8_t(row[x]);
    }
}

// The filter byte and the filtered bytes of `row` over `prior` (zeros above
// the first row); the left neighbour of a byte is the same colour's in the
// pixel before, zero in the first pixel. One loop for each filter, so that
// the compiler can make each a vector loop.
void FilterRow(PngFilter filter, const uint8_t* row, const uint8_t* prior, size_t n, uint8_t* out) {
    out[0] = uint8_t(filter);
    uint8_t* const d = out + 1;
    const size_t first = std::min<size_t>(3, n);
    switch (filter) {
    case PngFilter::None:
    case PngFilter::Adaptive:  // not a filter of the file: FilterRowAdaptive chooses one
        std::memcpy(d, row, n);
        break;
    case PngFilter::Sub:
        std::memcpy(d, row, first);
        for (size_t k = 3; k < n; ++k) d[k] = uint8_t(row[k] - row[k - 3]);
        break;
    case PngFilter::Up:
        for (size_t k = 0; k < n; ++k) d[k] = uint8_t(row[k] - prior[k]);
        break;
    case PngFilter::Average:
        for (size_t k = 0; k < first; ++k) d[k] = uint8_t(row[k] - prior[k] / 2);
        for (size_t k = 3; k < n; ++k) d[k] = uint8_t(row[k] - (row[k - 3] + prior[k]) / 2);
        break;
    case PngFilter::Paeth:
        for (size_t k = 0; k < first; ++k) d[k] = uint8_t(row[k] - prior[k]);
        for (size_t k = 3; k < n; ++k)
            d[k] = uint8_t(row[k] - Paeth(row[k - 3], prior[k], prior[k - 3]));
        break;
    }
}

// The zero bytes among n.
size_t Zeros(const uint8_t* bytes, size_t n) {
    size_t zeros = 0;
    for (size_t k = 0; k < n; ++k) zeros += bytes[k] == 0;
    return zeros;
}

// FilterRow for Adaptive: Sub or Up, whichever leaves more zero bytes (Sub
// of equals), tried in `trial` (a row of n + 1 bytes).
void FilterRowAdaptive(const uint8_t* row, const uint8_t* prior, size_t n, uint8_t* out,
                       uint8_t* trial) {
    FilterRow(PngFilter::Sub, row, prior, n, out);
    FilterRow(PngFilter::Up, row, prior, n, trial);
    if (Zeros(trial + 1, n) > Zeros(out + 1, n)) std::memcpy(out, trial, n + 1);
}

// The filtered rows handed to zlib at once: about 256 KiB of them.
constexpr size_t kFilteredBandBytes = size_t(1) << 18;

// The rows all strips of a picture work in together, at most (unless one
// strip needs more): a picture a few million pixels wide is one strip or a
// few, instead of eight that would each take four of its rows.
constexpr uint64_t kStripRowBytes = uint64_t(1) << 26;

}  // namespace

// What one strip keeps from one picture to the next: zlib's state, the rows
// being filtered and the compressed bytes. Memory fresh from the system
// costs page faults on its first use (dearly under Wine), so it is reused.
struct PngScratch::Strip {
    z_stream z = {};
    int level = -1;  // of z; -1: z not made
    std::vector<uint8_t> rows[2], band, trial;
    std::vector<uint8_t> deflated;  // as large as it ever had to be
    size_t size = 0;                // the bytes of this picture in `deflated`
    uLong adler = 1;                // of the strip's filtered rows
    bool ok = false;

    ~Strip() {
        if (level >= 0) deflateEnd(&z);
    }
};

unsigned PngStrips(int width, int height) {
    const uint64_t columns = uint64_t(std::max(width, 0));
    const uint64_t pixels = columns * uint64_t(std::max(height, 0));
    // Each strip works in four rows of 3 bytes a pixel and a filter byte.
    const uint64_t rowBytes = 4 * (3 * columns + 1);
    const uint64_t fit = std::max<uint64_t>(1, kStripRowBytes / rowBytes);
    return unsigned(std::min(std::clamp<uint64_t>(pixels >> 18, 1, 8), fit));
}

PngScratch::PngScratch() = default;
PngScratch::~PngScratch() = default;

namespace {

// The output space handed to zlib at once. Always this much, whatever the
// scratch holds: zlib cuts stored blocks (level 0) where the space ends, so
// the file's bytes would otherwise depend on the memory a scratch kept.
constexpr size_t kOutputStep = size_t(1) << 16;

// Deflates all of z's input with `flush` into strip.deflated after its
// strip.size bytes, growing it as it fills.
bool Deflate(PngScratch::Strip& strip, int flush) {
    z_stream& z = strip.z;
    for (;;) {
        if (strip.deflated.size() < strip.size + kOutputStep)
            strip.deflated.resize(
                std::max(strip.size + kOutputStep, strip.deflated.size() * 3 / 2));
        z.next_out = strip.deflated.data() + strip.size;
        z.avail_out = uInt(kOutputStep);
        const int status = deflate(&z, flush);
        strip.size += kOutputStep - z.avail_out;
        if (status == Z_STREAM_END) return true;
        if (status != Z_OK && status != Z_BUF_ERROR) return false;
        if (flush != Z_FINISH && z.avail_in == 0 && z.avail_out != 0) return true;
    }
}

// Rows y0 .. y1 - 1, filtered and deflated as raw blocks ending in a full
// flush (the last strip ends the stream).
void CompressStrip(const uint32_t* pixels, ptrdiff_t pitch, int width, int y0, int y1, bool last,
                   const PngOptions& options, PngScratch::Strip& strip) {
    strip.ok = false;
    strip.size = 0;
    strip.adler = 1;
    z_stream& z = strip.z;
    if (strip.level != options.level) {
        if (strip.level >= 0) deflateEnd(&z);
        z = z_stream();
        strip.level = -1;
        if (deflateInit2(&z, options.level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return;
        strip.level = options.level;
    } else if (deflateReset(&z) != Z_OK) {
        return;
    }
    try {
        const size_t n = size_t(width) * 3;
        const int bandRows =
            int(std::clamp<size_t>(kFilteredBandBytes / (n + 1), 1, size_t(y1 - y0)));
        for (std::vector<uint8_t>& row : strip.rows) row.assign(n, 0);
        strip.trial.resize(n + 1);
        strip.band.resize((n + 1) * size_t(bandRows));
        if (y0 > 0) RgbRow(pixels, pitch, width, y0 - 1, strip.rows[1].data());
        bool ok = true;
        for (int b0 = y0; ok && b0 < y1; b0 += bandRows) {
            if (options.stop != nullptr && options.stop->load()) ok = false;
            const int b1 = std::min(y1, b0 + bandRows);
            for (int y = b0; y < b1; ++y) {
                std::vector<uint8_t>& row = strip.rows[(y - y0) % 2];
                RgbRow(pixels, pitch, width, y, row.data());
                const uint8_t* prior = strip.rows[(y - y0 + 1) % 2].data();
                uint8_t* out = strip.band.data() + (n + 1) * size_t(y - b0);
                if (options.filter == PngFilter::Adaptive)
                    FilterRowAdaptive(row.data(), prior, n, out, strip.trial.data());
                else
                    FilterRow(options.filter, row.data(), prior, n, out);
            }
            z.next_in = strip.band.data();
            z.avail_in = uInt((n + 1) * size_t(b1 - b0));
            strip.adler = adler32(strip.adler, z.next_in, z.avail_in);
            const int flush = b1 < y1 ? Z_NO_FLUSH : last ? Z_FINISH : Z_FULL_FLUSH;
            ok = ok && Deflate(strip, flush);
        }
        strip.ok = ok;
    } catch (const std::bad_alloc&) {
        strip.ok = false;
    }
}

// The UTF-8 text in Latin-1, when every character has a code there and none is NUL.
bool ToLatin1(const std::string& utf8, std::string& latin1) {
    for (size_t k = 0; k < utf8.size(); ++k) {
        const uint8_t c = uint8_t(utf8[k]);
        if (c == 0) return false;
        if (c < 0x80) {
            latin1 += char(c);
            continue;
        }
        // U+0080 to U+00FF: C2 or C3 and one continuation byte.
        if ((c & 0xFE) != 0xC2 || k + 1 == utf8.size() || (uint8_t(utf8[k + 1]) & 0xC0) != 0x80)
            return false;
        latin1 += char(((c & 0x03) << 6) | (uint8_t(utf8[++k]) & 0x3F));
    }
    return true;
}

// A text chunk: tEXt when the text is Latin-1 (as that chunk's text must
// be), else iTXt, whose text is UTF-8. `keyword` is plain ASCII.
bool WriteText(ByteSink& sink, const std::string& keyword, const std::string& utf8) {
    std::string latin1;
    const bool plain = ToLatin1(utf8, latin1);
    // iTXt: keyword, no compression (two zero bytes), empty language and translated keyword.
    const std::string data =
        plain ? keyword + '\0' + latin1 : keyword + std::string(5, '\0') + utf8;
    return WriteChunk(sink, plain ? "tEXt" : "iTXt", reinterpret_cast<const uint8_t*>(data.data()),
                      data.size());
}

// WritePng, with memory failures of its own as exceptions.
bool WritePngThrowing(const uint32_t* pixels, ptrdiff_t pitch, int width, int height,
                      const PngOptions& options, ByteSink& sink, WorkerPool* pool,
                      PngScratch& scratch) {
    const unsigned strips = std::max(1u, std::min(options.strips, unsigned(height)));
    std::vector<std::unique_ptr<PngScratch::Strip>>& parts = scratch.strips;
    while (parts.size() < strips) parts.push_back(std::make_unique<PngScratch::Strip>());
    const auto rowOf = [&](size_t k) { return int(int64_t(height) * int64_t(k) / strips); };
    const auto compress = [&](size_t k, unsigned) {
        CompressStrip(pixels, pitch, width, rowOf(k), rowOf(k + 1), k + 1 == strips, options,
                      *parts[k]);
    };
    if (pool != nullptr && strips > 1)
        pool->ForEach(strips, 0, compress);
    else
        for (size_t k = 0; k < strips; ++k) compress(k, 0);
    for (unsigned k = 0; k < strips; ++k)
        if (!parts[k]->ok) return false;

    uint8_t header[13];
    PutBigEndian(header, uint32_t(width));
    PutBigEndian(header + 4, uint32_t(height));
    header[8] = 8;   // bits a sample
    header[9] = 2;   // RGB
    header[10] = 0;  // deflate
    header[11] = 0;  // adaptive filtering, one filter byte a row
    header[12] = 0;  // not interlaced
    if (!sink.Write(kSignature, 8) || !WriteChunk(sink, "IHDR", header, 13)) return false;
    for (const auto& [keyword, text] : options.texts)
        if (!WriteText(sink, keyword, text)) return false;
    // The zlib stream: its header, the strips' blocks, the Adler-32 of all rows.
    const uint8_t zlibHeader[2] = {0x78, 0x01};
    if (!WriteChunk(sink, "IDAT", zlibHeader, 2)) return false;
    uLong adler = 1;
    const size_t filteredBytes = size_t(width) * 3 + 1;  // a row
    for (unsigned k = 0; k < strips; ++k) {
        const PngScratch::Strip& s = *parts[k];
        adler = adler32_combine(adler, s.adler,
                                z_off_t(filteredBytes * size_t(rowOf(k + 1) - rowOf(k))));
        if (!WriteChunk(sink, "IDAT", s.deflated.data(), s.size)) return false;
    }
    uint8_t trailer[4];
    PutBigEndian(trailer, uint32_t(adler));
    return WriteChunk(sink, "IDAT", trailer, 4) && WriteChunk(sink, "IEND", nullptr, 0);
}

}  // namespace

bool WritePng(const uint32_t* pixels, ptrdiff_t pitch, int width, int height,
              const PngOptions& options, ByteSink& sink, WorkerPool* pool, PngScratch* scratch) {
    try {
        PngScratch own;
        return WritePngThrowing(pixels, pitch, width, height, options, sink, pool,
                                scratch != nullptr ? *scratch : own);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace quorlane
