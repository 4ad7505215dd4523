// Filtering, compressing and framing the rows of a PNG file.
#include "png/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/worker_pool.h"

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

// The filter byte and the filtered bytes of `row` over `prior` (zeros above the first row).
void FilterRow(PngFilter filter, const uint8_t* row, const uint8_t* prior, size_t n, uint8_t* out) {
    out[0] = uint8_t(filter);
    for (size_t k = 0; k < n; ++k) {
        const int a = k >= 3 ? row[k - 3] : 0, b = prior[k], c = k >= 3 ? prior[k - 3] : 0;
        int predicted = 0;
        switch (filter) {
        case PngFilter::None:
            break;
        case PngFilter::Sub:
            predicted = a;
            break;
        case PngFilter::Up:
            predicted = b;
            break;
        case PngFilter::Average:
            predicted = (a + b) / 2;
            break;
        case PngFilter::Paeth:
            predicted = Paeth(a, b, c);
            break;
        }
        out[k + 1] = uint8_t(row[k] - predicted);
    }
}

// One strip of rows y0 .. y1 - 1, filtered and deflated as raw blocks ending
// in a full flush (the last strip ends the stream); its Adler-32 in `adler`.
struct Strip {
    std::vector<uint8_t> deflated;
    uLong adler = 1;
    bool ok = false;
};

void CompressStrip(const uint32_t* pixels, ptrdiff_t pitch, int width, int y0, int y1, bool last,
                   const PngOptions& options, Strip& strip) {
    const size_t n = size_t(width) * 3;
    std::vector<uint8_t> rows[2] = {std::vector<uint8_t>(n, 0), std::vector<uint8_t>(n, 0)};
    std::vector<uint8_t> filtered((n + 1) * size_t(y1 - y0));
    if (y0 > 0) RgbRow(pixels, pitch, width, y0 - 1, rows[1].data());
    for (int y = y0; y < y1; ++y) {
        std::vector<uint8_t>& row = rows[(y - y0) % 2];
        RgbRow(pixels, pitch, width, y, row.data());
        FilterRow(options.filter, row.data(), rows[(y - y0 + 1) % 2].data(), n,
                  filtered.data() + (n + 1) * size_t(y - y0));
    }
    strip.adler = adler32(1L, filtered.data(), uInt(filtered.size()));
    z_stream z = {};
    if (deflateInit2(&z, options.level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return;
    strip.deflated.resize(deflateBound(&z, uLong(filtered.size())) + 16);
    z.next_in = filtered.data();
    z.avail_in = uInt(filtered.size());
    z.next_out = strip.deflated.data();
    z.avail_out = uInt(strip.deflated.size());
    const int status = deflate(&z, last ? Z_FINISH : Z_FULL_FLUSH);
    strip.ok = (last ? status == Z_STREAM_END : status == Z_OK) && z.avail_in == 0;
    strip.deflated.resize(strip.deflated.size() - z.avail_out);
    deflateEnd(&z);
}

}  // namespace

bool WritePng(const uint32_t* pixels, ptrdiff_t pitch, int width, int height,
              const PngOptions& options, ByteSink& sink, WorkerPool* pool) {
    const unsigned strips = std::max(1u, std::min(options.strips, unsigned(height)));
    std::vector<Strip> parts(strips);
    const auto compress = [&](size_t k, unsigned) {
        const int y0 = int(int64_t(height) * int64_t(k) / strips);
        const int y1 = int(int64_t(height) * int64_t(k + 1) / strips);
        CompressStrip(pixels, pitch, width, y0, y1, k + 1 == strips, options, parts[k]);
    };
    if (pool != nullptr && strips > 1)
        pool->ForEach(strips, 0, compress);
    else
        for (size_t k = 0; k < strips; ++k) compress(k, 0);

    uint8_t header[13];
    PutBigEndian(header, uint32_t(width));
    PutBigEndian(header + 4, uint32_t(height));
    header[8] = 8;   // bits a sample
    header[9] = 2;   // RGB
    header[10] = 0;  // deflate
    header[11] = 0;  // adaptive filtering, one filter byte a row
    header[12] = 0;  // not interlaced
    if (!sink.Write(kSignature, 8) || !WriteChunk(sink, "IHDR", header, 13)) return false;
    for (const auto& [keyword, text] : options.texts) {
        std::string data = keyword;
        data += '\0';
        data += text;
        if (!WriteChunk(sink, "tEXt", reinterpret_cast<const uint8_t*>(data.data()), data.size()))
            return false;
    }
    // The zlib stream: its header, the strips' blocks, the Adler-32 of all rows.
    const uint8_t zlibHeader[2] = {0x78, 0x01};
    if (!WriteChunk(sink, "IDAT", zlibHeader, 2)) return false;
    uLong adler = 1;
    size_t filteredBytes = (size_t(width) * 3 + 1);
    for (unsigned k = 0; k < strips; ++k) {
        const Strip& s = parts[k];
        if (!s.ok) return false;
        const int y0 = int(int64_t(height) * k / strips),
                  y1 = int(int64_t(height) * (k + 1) / strips);
        adler = adler32_combine(adler, s.adler, z_off_t(filteredBytes * size_t(y1 - y0)));
        if (!WriteChunk(sink, "IDAT", s.deflated.data(), s.deflated.size())) return false;
    }
    uint8_t trailer[4];
    PutBigEndian(trailer, uint32_t(adler));
    return WriteChunk(sink, "IDAT", trailer, 4) && WriteChunk(sink, "IEND", nullptr, 0);
}
