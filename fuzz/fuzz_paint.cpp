// The paint pass fed client sizes and grid and settings text (through the real loaders). Painted
// into an exact heap image on one thread and into padded rows on all, it must equal the plain
// rendering, leave the padding alone and keep the texts within their buffers.
// With QUORLANE_FUZZ_DUMP set the target prints the client size and both files' text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/worker_pool.h"
#include "data/grid_loader.h"
#include "data/settings.h"
#include "fuzz_check.h"
#include "plain_paint.h"
#include "render/field_row.h"
#include "render/paint.h"

namespace quorlane {

namespace {

constexpr int kMaxPixels = 1 << 16;

// A real as file text: small whole numbers, special values or any float.
void AppendReal(FuzzedDataProvider& in, std::string& out) {
    static const char* const special[] = {
        "0",     "1",     "0.5",  "0.1", "-1",   "1e39",  "-1e39", "3.4e38",
        "1e-45", "1e-38", "12.5", "100", "-0.0", "65536", "0.65",  "1e30",
    };
    char buf[40];
    const int kind = in.ConsumeIntegralInRange<int>(0, 3);
    if (kind == 0) std::snprintf(buf, sizeof buf, "%d", in.ConsumeIntegralInRange<int>(-300, 300));
    if (kind == 1)
        std::snprintf(buf, sizeof buf, "%s", special[in.ConsumeIntegralInRange<int>(0, 15)]);
    if (kind >= 2) {
        const uint32_t bits = in.ConsumeIntegral<uint32_t>();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (std::isnan(f)) f = 0;
        std::snprintf(buf, sizeof buf, "%.9g", std::isinf(f) ? std::copysign(1e39, f) : double(f));
    }
    out += std::string(buf) + '\n';
}

// A whole number as file text: mostly small, sometimes any 32-bit value.
void AppendInt(FuzzedDataProvider& in, std::string& out, int lo, int hi) {
    out += std::to_string(in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(lo, hi)
                                           : in.ConsumeIntegral<int32_t>()) +
           '\n';
}

// Mostly at most 32 × 32, some up to 160 × 160, a few with a side of up to 8192 (kMaxPixels).
void ClientSize(FuzzedDataProvider& in, int& w, int& h) {
    uint8_t cls = in.ConsumeIntegral<uint8_t>();
    int side = cls < 250 ? 32 : cls < 255 ? 160 : 8192;
    w = in.ConsumeIntegralInRange<int>(0, side);
    h = in.ConsumeIntegralInRange<int>(0, side);
    if (static_cast<long long>(w) * h > kMaxPixels) {
        const bool cutHeight = in.ConsumeBool();
        (cutHeight ? h : w) = kMaxPixels / (cutHeight ? w : h);
    }
}

std::string GridText(FuzzedDataProvider& in) {
    std::string t;
    uint32_t qx = in.ConsumeIntegralInRange<uint32_t>(1, 16);
    uint32_t qy = in.ConsumeIntegralInRange<uint32_t>(1, 16);
    t += std::to_string(qx) + ' ' + std::to_string(qy) + '\n';
    for (uint32_t k = 0; k < 2 + qx * qy; ++k) AppendReal(in, t);  // cell sizes, then samples
    return t;
}

std::string SettingsText(FuzzedDataProvider& in) {
    std::string t;
    const bool flat = in.ConsumeIntegralInRange<int>(0, 7) == 0;  // scaleMax equal to scaleMin
    AppendReal(in, t);
    if (flat) t += t;
    if (!flat) AppendReal(in, t);
    for (int k = 0; k < 6; ++k) AppendInt(in, t, -300, 600);  // minRed .. maxBlue
    AppendInt(in, t, 0, 2000);                                // windowWidth
    AppendInt(in, t, 0, 2000);                                // windowHeight
    for (int k = 0; k < 3; ++k) AppendInt(in, t, 0, 64);      // bandHeight, bandSideGap, bandStrip
    t += "10\n";                                              // intervals
    std::string caption = in.ConsumeRandomLengthString(70);
    for (char& c : caption)
        if (c == '\n' || c == '\r' || c == '\x1a' || c == '\0') c = '_';
    t += caption + '\n';
    AppendInt(in, t, 0, 2);  // clipping
    AppendInt(in, t, 0, 2);  // palette
    return t;
}

// The row painter of the settings. Building one takes a few milliseconds, far longer than the
// rest of an execution, and successive inputs often share their settings, so some are kept.
const FieldRowPainter& PainterFor(const DisplaySettings& s) {
    static std::map<std::string, std::unique_ptr<FieldRowPainter>> painters;
    if (painters.size() > 64) painters.clear();
    auto& p = painters[std::string(reinterpret_cast<const char*>(&s), sizeof s)];
    if (!p) p = std::make_unique<FieldRowPainter>(s);
    return *p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static WorkerPool pool(WorkerPool::CoreThreads());  // as many threads as the machine has cores
    FuzzedDataProvider in(data, size);
    int w, h;
    ClientSize(in, w, h);
    std::string grid = GridText(in);
    std::string settings = SettingsText(in);
    static const bool dump = std::getenv("QUORLANE_FUZZ_DUMP") != nullptr;
    if (dump)
        std::fprintf(stderr, "client %d x %d\n--- quorlane.dat\n%s--- quorlane.ini\n%s---\n", w, h,
                     grid.c_str(), settings.c_str());

    Grid g;
    DisplaySettings s;
    if (!LoadGridBytes(g, grid.data(), grid.size(), pool).ok) return 0;
    if (!LoadSettingsBytes(s, settings.data(), settings.size()).ok) return 0;

    Layout layout = ComputeLayout(g, s, w, h);
    FUZZ_CHECK(layout.width == w && layout.height == h);
    FUZZ_CHECK(layout.textCount >= 0 && layout.textCount <= 3);
    for (int k = 0; k < layout.textCount; ++k) {
        const PaintText& t = layout.texts[k];
        size_t len = strnlen(t.str, sizeof t.str);
        FUZZ_CHECK(len < sizeof t.str);
        FUZZ_CHECK(t.count >= 0 && static_cast<size_t>(t.count) <= len);
    }

    const FieldRowPainter& painter = PainterFor(s);
    std::vector<uint32_t> exact(static_cast<size_t>(w) * static_cast<size_t>(h), 0xFFFFFFFFu);
    PaintClient(g, painter, layout, {exact.data(), w}, pool, 1);

    Image plain(w, h), padded(w, h, 5);
    PaintPlainly(g, s, layout, plain);
    PaintClient(g, painter, layout, padded.Target(), pool, 0);
    for (int64_t y = 0; y < h; ++y) {
        for (int64_t x = 0; x < w; ++x) {
            FUZZ_CHECK(exact[y * w + x] == plain.At(x, y));
            FUZZ_CHECK(padded.At(x, y) == plain.At(x, y));
        }
    }
    const int64_t untouched = std::count(padded.buf.begin(), padded.buf.end(), kUntouched);
    FUZZ_CHECK(untouched == 128 + 5 * int64_t(h));
    return 0;
}

}  // namespace quorlane
