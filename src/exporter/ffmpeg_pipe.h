#pragma once
// ffmpeg run beside the exporter: its standard input a pipe that the exporter
// writes frames into, its standard error kept for the report of a failure.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorlane {

class FfmpegPipe {
  public:
    FfmpegPipe() = default;
    FfmpegPipe(const FfmpegPipe&) = delete;
    FfmpegPipe& operator=(const FfmpegPipe&) = delete;
    // Ends ffmpeg if it still runs.
    ~FfmpegPipe();

    // Starts `program` with `args`; once `stop` is set (from any thread)
    // while it runs, it is ended, so that a write waiting for it returns.
    // False when it cannot be started, `reason` then saying why.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::atomic<bool>* stop, std::string& reason);
    // Hands ffmpeg `size` bytes; false once it takes no more (it ended).
    bool Write(const void* bytes, size_t size);
    // Closes its input and waits for it to end: true when it ended with
    // status 0, else `reason` says how it ended and its last error line.
    bool Finish(std::string& reason);
    // Ends it at once and waits until it has.
    void Kill();

  private:
    std::string Failure(DWORD status);

    HANDLE process_ = nullptr;
    HANDLE input_ = nullptr;  // the pipe's end the frames go into
    std::thread errors_;      // reads its standard error into tail_
    std::thread guard_;       // ends it once the stop flag is set
    std::atomic<bool> ended_{false};
    std::mutex mutex_;
    std::string tail_;  // the end of its standard error
};

}  // namespace quorlane
