#pragma once
// Where the loaders take a file's bytes from: a file on disk, or bytes in
// memory handed out in chunks of a chosen size and, for tests, failing after
// a chosen count the way a disk can fail in the middle of a file.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorlane {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to n bytes into buf and returns how many. Fewer than n when
    // that is what the source has at hand (a pipe whose writer has not sent
    // more yet); 0 means that no more bytes come: the end of the source, or
    // a read error (Failed()).
    virtual size_t Read(char* buf, size_t n) = 0;
    // True once a read has failed.
    virtual bool Failed() const = 0;
};

// A file read as raw bytes (the text rules are applied by the reader). Each
// read hands out what one read of the file gives, so that a reader that has
// all it needs from a pipe never waits for its writer to close it.
class FileSource final : public ByteSource {
  public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Opens the file at `path` (UTF-8, any characters: on Windows it is
    // opened by its UTF-16 name) for reading, with every sharing allowed, so
    // that a writer may replace or remove it meanwhile. False when it cannot
    // be opened, and for a directory, which opens on some systems but never
    // reads. Windows' FileSource is src/win's (file_source.cpp), the other
    // systems' this folder's.
    bool Open(const std::string& path);
    size_t Read(char* buf, size_t n) override;
    bool Failed() const override { return failed_; }

  private:
    void Close();

    // The open file: a descriptor, or on Windows a handle (whose
    // INVALID_HANDLE_VALUE is -1 too).
    static constexpr std::intptr_t kNoFile = -1;
    std::intptr_t file_ = kNoFile;
    bool failed_ = false;
};

// Bytes in memory, handed out at most `chunk` at a time. With `failAt` not
// beyond the end, reads fail once that many bytes have been handed out.
class MemorySource final : public ByteSource {
  public:
    static constexpr size_t kNever = SIZE_MAX;
    MemorySource(const char* data, size_t size, size_t chunk = kNever, size_t failAt = kNever);
    size_t Read(char* buf, size_t n) override;
    bool Failed() const override { return failed_; }

  private:
    const char* data_;
    size_t size_;
    size_t chunk_;
    size_t failAt_;
    size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace quorlane
