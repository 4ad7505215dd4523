// FileSource on the POSIX systems; Windows' is src/win/file_source.cpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "data/bytesource.h"

namespace quorlane {

FileSource::~FileSource() {
    Close();
}

void FileSource::Close() {
    if (file_ == kNoFile) return;
    close(int(file_));
    file_ = kNoFile;
}

bool FileSource::Open(const std::string& path) {
    Close();
    failed_ = false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    file_ = fd;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) Close();
    return file_ != kNoFile;
}

size_t FileSource::Read(char* buf, size_t n) {
    if (file_ == kNoFile || failed_ || n == 0) return 0;
    // One read of the file, unbuffered: a buffered read would wait for the
    // whole request, or the end of a pipe, before it returned anything.
    const size_t ask = std::min(n, size_t(1) << 30);
    for (;;) {
        const ssize_t got = read(int(file_), buf, ask);
        if (got >= 0) return size_t(got);
        if (errno != EINTR) break;  // an interrupted read is tried again
    }
    failed_ = true;
    return 0;
}

}  // namespace quorlane
