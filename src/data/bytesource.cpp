// Byte sources: a file on disk, and bytes in memory in chunks.
#include "data/bytesource.h"

#include <algorithm>
#include <cstring>
#if defined(_WIN32)
#include <filesystem>
#endif

#include <sys/stat.h>
#include <sys/types.h>

namespace {

bool IsDirectory(std::FILE* f) {
#if defined(_WIN32)
    struct _stat64 st;
    return _fstat64(_fileno(f), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFDIR;
#else
    struct stat st;
    return fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

}  // namespace

FileSource::~FileSource() {
    if (file_) std::fclose(file_);
}

bool FileSource::Open(const std::string& path) {
    if (file_) std::fclose(file_);
    failed_ = false;
#if defined(_WIN32)
    // The narrow calls would take the name in the system's code page, which
    // may not spell it.
    file_ = _wfopen(std::filesystem::u8path(path).c_str(), L"rb");
#else
    file_ = std::fopen(path.c_str(), "rb");
#endif
    if (file_ && IsDirectory(file_)) {
        std::fclose(file_);
        file_ = nullptr;
    }
    return file_ != nullptr;
}

size_t FileSource::Read(char* buf, size_t n) {
    if (!file_ || failed_ || n == 0) return 0;
    const size_t got = std::fread(buf, 1, n, file_);
    if (got < n && std::ferror(file_)) failed_ = true;
    return got;
}

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
