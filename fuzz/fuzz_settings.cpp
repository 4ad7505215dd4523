// The settings loader fed arbitrary file contents.
//
// Each input is the whole text of a settings file, copied into a heap block of
// exactly its size. After loading, the caption must be one terminated word of
// at most 49 characters; a failure must carry the loader's message. The same
// text read from a source in chunks of a size taken from the input (its last
// byte) must give the same settings, and from a source whose reads fail
// halfway either the same or "Error reading".
#include <cstdint>
#include <cstring>

#include "data/bytesource.h"
#include "data/settings.h"
#include "data/textread.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = new char[size > 0 ? size : 1];
    if (size > 0) std::memcpy(text, data, size);
    DisplaySettings s;
    StartupResult r = LoadSettingsBytes(s, text, size);
    if (r.ok) {
        FUZZ_CHECK(r.message.empty());
        size_t n = strnlen(s.caption, sizeof s.caption);
        FUZZ_CHECK(n <= 49);
        for (size_t k = 0; k < n; ++k) FUZZ_CHECK(!IsSpace(s.caption[k]));
    } else {
        FUZZ_CHECK(r.status == 1);
        FUZZ_CHECK(r.message == "Error reading \"quorlane.ini\"");
    }

    DisplaySettings chunked;
    // A chunk size of 1 to 100 bytes, taken from the input's last byte.
    const size_t chunk = size > 0 ? 1 + data[size - 1] % 100 : 1;
    MemorySource inChunks(text, size, chunk);
    const StartupResult rc = LoadSettingsFrom(chunked, inChunks);
    FUZZ_CHECK(rc.ok == r.ok && std::memcmp(&chunked, &s, sizeof s) == 0);

    DisplaySettings cut;
    MemorySource failing(text, size, 1 + size % 5, size / 2);
    const StartupResult rf = LoadSettingsFrom(cut, failing);
    FUZZ_CHECK(rf.ok ? r.ok && std::memcmp(&cut, &s, sizeof s) == 0
                     : rf.message == "Error reading \"quorlane.ini\"");
    delete[] text;
    return 0;
}
