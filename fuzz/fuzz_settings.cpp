// The settings loader fed arbitrary file contents.
//
// Each input is the whole text of a settings file, copied into a heap block of
// exactly its size. After loading, the caption must be one terminated word of
// at most 49 characters; a failure must carry the loader's message.
#include <cstdint>
#include <cstring>

#include "data/settings.h"
#include "data/textread.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = new char[size > 0 ? size : 1];
    if (size > 0) std::memcpy(text, data, size);
    DisplaySettings s;
    StartupResult r = LoadSettingsBytes(s, text, size);
    if (r.ok) {
        FUZZ_CHECK(r.message == nullptr);
        size_t n = strnlen(s.caption, sizeof s.caption);
        FUZZ_CHECK(n <= 49);
        for (size_t k = 0; k < n; ++k) FUZZ_CHECK(!IsSpace(s.caption[k]));
    } else {
        FUZZ_CHECK(r.status == 1);
        FUZZ_CHECK(r.message != nullptr &&
                   std::strcmp(r.message, "Error reading \"quorlane.ini\"") == 0);
    }
    delete[] text;
    return 0;
}
