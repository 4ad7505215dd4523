// The settings loader fed arbitrary text in an exact heap block: a caption of one terminated word
// of at most 49 characters, or the loader's message; the same in chunks, or "Error reading".
#include <cstdint>
#include <cstring>

#include "data/bytesource.h"
#include "data/settings.h"
#include "data/textread.h"
#include "fuzz_check.h"

namespace quorlane {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = new char[size > 0 ? size : 1];
    if (size > 0) std::memcpy(text, data, size);
    DisplaySettings s;
    LoadResult r = LoadSettingsBytes(s, text, size);
    if (r.ok) {
        FUZZ_CHECK(r.message.empty());
        size_t n = strnlen(s.caption, sizeof s.caption);
        FUZZ_CHECK(n <= 49);
        for (size_t k = 0; k < n; ++k) FUZZ_CHECK(!IsSpace(s.caption[k]));
    } else {
        FUZZ_CHECK(r.message == "Error reading \"quorlane.ini\"");
    }

    DisplaySettings chunked;
    MemorySource inChunks(text, size, size > 0 ? 1 + data[size - 1] % 100 : 1);
    const LoadResult rc = LoadSettingsFrom(chunked, inChunks);
    FUZZ_CHECK(rc.ok == r.ok && std::memcmp(&chunked, &s, sizeof s) == 0);

    DisplaySettings cut;
    MemorySource failing(text, size, 1 + size % 5, size / 2);
    const LoadResult rf = LoadSettingsFrom(cut, failing);
    FUZZ_CHECK(rf.ok ? r.ok && std::memcmp(&cut, &s, sizeof s) == 0
                     : rf.message == "Error reading \"quorlane.ini\"");
    delete[] text;
    return 0;
}

}  // namespace quorlane
