// The real prefix conversion of arbitrary text against its rules on the C library's conversion
// (tests/number_reference.h): the same bits for the whole text, and for each line read of it
// read as the loader reads its value lines, each ending where its line read ends.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "data/numbers.h"
#include "data/textread.h"
#include "fuzz_check.h"
#include "number_reference.h"

namespace quorlane {

namespace {

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact heap block, so that a read past the text is caught.
    char* const text = new char[size > 0 ? size : 1];
    if (size > 0) std::memcpy(text, data, size);
    const std::string_view whole(text, size);

    const ReferenceReal want = ReferenceRealPrefix(whole);
    FUZZ_CHECK(SameBits(RealPrefix(whole), want.value));
    size_t start = 0;
    while (start < size && IsSpace(text[start])) ++start;
    const char* numberEnd = nullptr;
    SignedRealPrefix(text + start, text + size, numberEnd);
    FUZZ_CHECK(!want.hasNumber || numberEnd == text + want.numberEnd);

    const char* p = text;
    for (size_t at = 0; at < size;) {
        size_t length;
        const float line = ReferenceLineValue(whole.substr(at), length);
        FUZZ_CHECK(SameBits(ReadLineValue(p, text + size), line));
        at += length;
        FUZZ_CHECK(p == text + at);
    }
    delete[] text;
    return 0;
}

}  // namespace quorlane
