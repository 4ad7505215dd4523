// PNG files read back on zlib's inflate (CRCs, header, texts, exact pixels) for odd sizes, every
// filter and strip count; and a sink that fails after any count of bytes fails the write.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/worker_pool.h"
#include "png_writer/png_writer.h"

namespace quorlane {

namespace {

struct Memory final : ByteSink {
    std::vector<uint8_t> bytes;
    size_t failAfter = SIZE_MAX;
    bool Write(const uint8_t* b, size_t n) override {
        const bool fits = bytes.size() + n <= failAfter;
        if (fits) bytes.insert(bytes.end(), b, b + n);
        return fits;
    }
};

uint32_t BigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The pixels of a file, its size, its texts as "key=text;" and its rows' filter bytes; a bad chunk
// or stream fails.
std::vector<uint32_t> Read(const std::vector<uint8_t>& f, int& w, int& h, std::string& texts,
                           std::string* filters = nullptr) {
    EXPECT_EQ(std::string(f.begin(), f.begin() + 8), "\x89PNG\r\n\x1A\n");
    std::vector<uint8_t> z;
    std::string last, header;
    for (size_t at = 8; at + 12 <= f.size(); at += 12 + BigEndian(&f[at])) {
        const uint32_t n = BigEndian(&f[at]);
        const std::string type(f.begin() + at + 4, f.begin() + at + 8);
        EXPECT_EQ(crc32(0, &f[at + 4], n + 4), BigEndian(&f[at + 8 + n])) << type;
        const uint8_t* d = &f[at + 8];
        if (type == "IHDR")
            w = int(BigEndian(d)), h = int(BigEndian(d + 4)), header.assign(d + 8, d + 13);
        if (type == "tEXt" || type == "iTXt") {  // "key=text;", an iTXt's text marked with "*"
            const std::string chunk(d, d + n), key = chunk.substr(0, chunk.find('\0'));
            const size_t text = type == "tEXt" ? key.size() + 1 : key.size() + 5;
            texts += key + (type == "iTXt" ? "=*" : "=") + chunk.substr(text) + ";";
        }
        if (type == "IDAT") z.insert(z.end(), d, d + n);
        last = type;
    }
    EXPECT_EQ(last + header, std::string("IEND\x08\x02\0\0\0", 9));  // 8-bit RGB, plain
    const size_t n = size_t(w) * 3;
    std::vector<uint8_t> raw((n + 1) * size_t(h));
    uLongf size = uLongf(raw.size());
    EXPECT_TRUE(uncompress(raw.data(), &size, z.data(), uLong(z.size())) == Z_OK &&
                size == raw.size());
    std::vector<uint8_t> prior(n, 0);  // the row above the first is zeros
    std::vector<uint32_t> pixels;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = &raw[(n + 1) * size_t(y)];
        EXPECT_LT(row[0], 5);
        if (filters != nullptr) *filters += char('0' + row[0]);
        for (size_t k = 0; k < n; ++k) {
            const int a = k >= 3 ? row[k - 2] : 0, b = prior[k], c = k >= 3 ? prior[k - 3] : 0;
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            const int predicted[5] = {0, a, b, (a + b) / 2, paeth};
            row[k + 1] = uint8_t(row[k + 1] + predicted[row[0] % 5]);
        }
        for (size_t k = 0; k < n; k += 3)
            pixels.push_back(uint32_t(row[k + 1]) << 16 | uint32_t(row[k + 2]) << 8 | row[k + 3]);
        prior.assign(row + 1, row + 1 + n);
    }
    return pixels;
}

TEST(PngWriter, FilesReadBackExactly) {
    WorkerPool pool(3);
    PngScratch scratch;  // kept from picture to picture, as the exporter's writers keep theirs
    std::mt19937 random(11);
    const decltype(PngOptions::texts) texts = {{"Source", "runs/42"}, {"Software", "Quorlane"}};
    for (const auto& [width, height] :
         {std::pair{1, 1}, {1, 5000}, {5000, 1}, {3, 3}, {16384, 2}, {97, 61}}) {
        const ptrdiff_t pitch = width + 5;  // rows wider than the picture, as the window's are
        std::vector<uint32_t> image(size_t(pitch) * size_t(height)), want;
        for (uint32_t& p : image) p = random() & (random() % 2 ? 0xFFFFFFu : 0x0F0F0Fu);
        for (int y = 0; y < height; ++y)
            want.insert(want.end(), &image[size_t(y) * pitch], &image[size_t(y) * pitch] + width);
        for (int filter = 0; filter <= 5; ++filter)
            for (unsigned strips : {1u, 2u, 7u}) {
                const PngOptions o{PngFilter(filter), filter % 4, strips, texts};  // levels 0 to 3
                Memory file, alone;
                ASSERT_TRUE(WritePng(image.data(), pitch, width, height, o, file,
                                     strips == 7 ? &pool : nullptr, &scratch));
                // The same bytes without the pool and with fresh memory.
                ASSERT_TRUE(WritePng(image.data(), pitch, width, height, o, alone));
                EXPECT_EQ(file.bytes, alone.bytes);
                int w = 0, h = 0;
                std::string got;
                const bool same = Read(file.bytes, w, h, got) == want;
                EXPECT_TRUE(same && w == width && h == height)
                    << w << "x" << h << " filter " << filter << ", strips " << strips;
                EXPECT_EQ(got, "Source=runs/42;Software=Quorlane;");
            }
    }
}

TEST(PngWriter, AFailingSinkOrAStopFailsTheWrite) {
    const std::vector<uint32_t> image(40 * 30, 0x336699);
    Memory whole;
    ASSERT_TRUE(WritePng(image.data(), 40, 40, 30, PngOptions(), whole));
    for (size_t cut = 0; cut < whole.bytes.size(); ++cut) {
        Memory file;
        file.failAfter = cut;
        EXPECT_FALSE(WritePng(image.data(), 40, 40, 30, PngOptions(), file)) << cut;
    }
    const std::atomic<bool> stop{true};
    PngOptions stopped;
    stopped.stop = &stop;
    Memory file;
    EXPECT_FALSE(WritePng(image.data(), 40, 40, 30, stopped, file));
    EXPECT_TRUE(file.bytes.empty());  // given up before the first byte
}

// A text chunk is tEXt when its text is Latin-1, as tEXt must be, else iTXt with UTF-8.
TEST(PngWriter, TextsInLatin1OrUtf8) {
    const struct {
        std::string source, want;
    } rows[] = {
        {"runs/42", "Source=runs/42;"},
        {"caf\xC3\xA9", "Source=caf\xE9;"},                                 // é: Latin-1
        {"\xE6\xB8\xA9\xE5\xBA\xA6", "Source=*\xE6\xB8\xA9\xE5\xBA\xA6;"},  // not Latin-1
        {"caf\xC3", "Source=*caf\xC3;"},  // cut short: kept as it is
    };
    const uint32_t pixel = 0x102030;
    for (const auto& row : rows) {
        PngOptions o;
        o.texts = {{"Source", row.source}};
        Memory file;
        ASSERT_TRUE(WritePng(&pixel, 1, 1, 1, o, file));
        int w = 0, h = 0;
        std::string texts;
        EXPECT_EQ(Read(file.bytes, w, h, texts), std::vector<uint32_t>{pixel});
        EXPECT_EQ(texts, row.want);
    }
}

// Adaptive filtering takes Sub or Up, whichever leaves more zero bytes (Sub on a tie): a larger
// file is the fault otherwise. Rows: black (a tie), one colour (Sub), two colours in turn (a tie),
// the same again (Up).
TEST(PngWriter, AdaptiveFilterLeavesMoreZeros) {
    std::vector<uint32_t> image;
    for (int k = 0; k < 32; ++k)
        image.push_back(k < 8 ? 0 : k < 16 ? 0x010203u : k % 2 ? 0xFFFFFFu : 0x123456u);
    PngOptions o;
    o.filter = PngFilter::Adaptive;
    Memory file;
    ASSERT_TRUE(WritePng(image.data(), 8, 8, 4, o, file));
    int w = 0, h = 0;
    std::string texts, filters;
    EXPECT_EQ(Read(file.bytes, w, h, texts, &filters), image);
    EXPECT_EQ(filters, "1112");  // 1 Sub, 2 Up
}

TEST(PngWriter, StripsGrowWithThePicture) {
    const struct {
        int width, height;
        unsigned strips;
    } rows[] = {{1, 1, 1},        {0, 5, 1},        {512, 511, 1},     {512, 512, 1},
                {1024, 512, 2},   {1920, 1080, 7},  {16384, 16384, 8}, {-3, 9, 1},
                {699050, 300, 8}, {699051, 300, 7}, {1 << 20, 256, 5}, {67108863, 4, 1},
                {1398101, 4, 4}};  // four strips' rows, filter bytes included, fill 64 MB
    for (const auto& row : rows)
        EXPECT_EQ(PngStrips(row.width, row.height), row.strips) << row.width << "x" << row.height;
}

}  // namespace

}  // namespace quorlane
