// Bytes in memory in chunks (FileSource is file_source.cpp, or src/win's on
// Windows).
#include "data/bytesource.h"

#include <algorithm>
#include <cstring>

namespace quorlane {

MemorySource::MemorySource(const char* data, size_t size, size_t chunk, size_t failAt)
    : data_(data), size_(size), chunk_(chunk == 0 ? 1 : chunk), failAt_(failAt) {}

size_t MemorySource::Read(char* buf, size_t n) {
    if (failed_) return 0;
    const size_t stop = std::min(size_, failAt_);
    if (pos_ >= stop) {
        failed_ = pos_ >= failAt_;
        return 0;
    }
    const size_t got = std::min({n, chunk_, stop - pos_});
    std::memcpy(buf, data_ + pos_, got);
    pos_ += got;
    return got;
}

}  // namespace quorlane
