// Byte sources: a file on disk, and bytes in memory in chunks.
#include "data/bytesource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#if defined(_WIN32)
#include <io.h>

#include <filesystem>
#else
#include <unistd.h>
#endif

namespace quorlane {

namespace {

bool IsDirectory(int fd) {
#if defined(_WIN32)
    struct _stat64 st;
    return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFDIR;
#else
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

}  // namespace

FileSource::~FileSource() {
    Close();
}

void FileSource::Close() {
    if (fd_ < 0) return;
#if defined(_WIN32)
    _close(fd_);
#else
    close(fd_);
#endif
    fd_ = -1;
}

bool FileSource::Open(const std::string& path) {
    Close();
    failed_ = false;
#if defined(_WIN32)
    // The narrow calls would take the name in the system's code page, which
    // may not spell it.
    fd_ = _wopen(std::filesystem::u8path(path).c_str(), _O_RDONLY | _O_BINARY);
#else
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
    if (fd_ >= 0 && IsDirectory(fd_)) Close();
    return fd_ >= 0;
}

size_t FileSource::Read(char* buf, size_t n) {
    if (fd_ < 0 || failed_ || n == 0) return 0;
    // One read of the file, unbuffered: a buffered read would wait for the
    // whole request, or the end of a pipe, before it returned anything.
    const size_t ask = std::min(n, size_t(1) << 30);
    for (;;) {
#if defined(_WIN32)
        const int got = _read(fd_, buf, unsigned(ask));
#else
        const ssize_t got = read(fd_, buf, ask);
#endif
        if (got >= 0) return size_t(got);
        if (errno != EINTR) break;  // an interrupted read is tried again
    }
    failed_ = true;
    return 0;
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

}  // namespace quorlane
