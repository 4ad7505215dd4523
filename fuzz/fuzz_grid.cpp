// The grid loader fed arbitrary file contents.
//
// Each input is the whole text of a grid file. It is copied into a heap block
// of exactly its size (so that any read or write past its end is caught) and
// loaded; the loaded Grid must then be consistent: sizes of at least one
// cell, finite positive cell sizes and a ghost border that repeats the
// nearest sample. A failure must carry one of the loader's messages.
//
// Headers that ask for an accepted block larger than kMaxBlock are skipped:
// they are valid, and loading them only costs memory and time.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "data/grid.h"
#include "data/textread.h"
#include "fuzz_check.h"

namespace {

constexpr uint64_t kMaxBlock = 4u << 20;  // bytes

// True when the header reads as two sizes whose block is accepted by the
// loader's rules but larger than kMaxBlock.
bool LargeValidBlock(const uint8_t* data, size_t n) {
    std::vector<char> copy(data, data + n);
    TextIn in = OpenText(copy.data(), copy.size());
    uint64_t q[2];
    for (uint64_t& v : q) {
        std::string_view token;
        if (ReadToken(in, token) != TokenRead::Ok) return false;
        int32_t k = IntPrefix(token);
        if (k < 1) return false;
        v = static_cast<uint64_t>(k);
    }
    uint64_t bytes = 4 * (q[0] + 2);
    if (bytes > 0xFFFFFFFFull) return false;
    bytes *= q[1] + 2;
    return bytes > kMaxBlock && bytes <= 0xFFFFFFFFull;
}

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckGrid() {
    FUZZ_CHECK(QntX >= 1 && QntY >= 1);
    FUZZ_CHECK(QntX2 == QntX + 2 && QntY2 == QntY + 2);
    FUZZ_CHECK(std::isfinite(delX) && delX > 0);
    FUZZ_CHECK(std::isfinite(delY) && delY > 0);
    FUZZ_CHECK(array != nullptr);
    FUZZ_CHECK(SameBits(Xmax, static_cast<float>(static_cast<double>(QntX) * delX)));
    FUZZ_CHECK(SameBits(Ymax, static_cast<float>(static_cast<double>(QntY) * delY)));
    // Every border cell holds a copy of its nearest sample.
    auto cell = [](uint32_t i, uint32_t j) { return array[static_cast<size_t>(j) * QntX2 + i]; };
    auto clampi = [](uint32_t v, uint32_t hi) { return v < 1 ? 1 : (v > hi ? hi : v); };
    for (uint32_t j = 0; j < QntY2; ++j) {
        bool borderRow = j == 0 || j == QntY + 1;
        for (uint32_t i = 0; i < QntX2; i += (borderRow || i == QntX + 1) ? 1 : QntX + 1) {
            FUZZ_CHECK(SameBits(cell(i, j), cell(clampi(i, QntX), clampi(j, QntY))));
        }
    }
}

bool KnownMessage(const char* m) {
    static const char* const known[] = {
        "Error reading \"quorlane.dat\"",
        "Invalid grid size in \"quorlane.dat\"",
        "Invalid cell size in \"quorlane.dat\"",
        "Not enough memory for \"quorlane.dat\"",
    };
    for (const char* k : known)
        if (m != nullptr && std::strcmp(m, k) == 0) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (LargeValidBlock(data, size)) return 0;
    char* text = new char[size > 0 ? size : 1];
    if (size > 0) std::memcpy(text, data, size);
    StartupResult r = LoadGridBytes(text, size);
    if (r.ok) {
        FUZZ_CHECK(r.message == nullptr);
        CheckGrid();
    } else {
        FUZZ_CHECK(r.status == 1);
        FUZZ_CHECK(KnownMessage(r.message));
    }
    FreeGrid();
    delete[] text;
    return 0;
}
