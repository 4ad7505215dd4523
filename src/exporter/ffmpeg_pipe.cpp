// ffmpeg started with pipes for its standard input and standard error.
#include "exporter/ffmpeg_pipe.h"

#include <algorithm>

#include "common/command_line.h"
#include "exporter/options/movie.h"
#include "win/system_error.h"
#include "win/utf.h"

namespace quorlane {

namespace {

// The bytes of a pipe's buffer: a few frames of a small movie, so that the
// drawing runs ahead while ffmpeg encodes.
constexpr DWORD kPipeBuffer = DWORD(1) << 22;
// The end of ffmpeg's standard error that is kept.
constexpr size_t kKeptErrors = 4096;

// The last line of `text` that holds more than blanks.
std::string LastLine(const std::string& text) {
    size_t end = text.size();
    while (end > 0) {
        const size_t start = text.find_last_of("\r\n", end - 1);
        const size_t from = start == std::string::npos ? 0 : start + 1;
        std::string line = text.substr(from, end - from);
        if (line.find_first_not_of(" \t") != std::string::npos) return line;
        if (start == std::string::npos) break;
        end = start;
    }
    return std::string();
}

}  // namespace

FfmpegPipe::~FfmpegPipe() {
    if (process_ != nullptr) Kill();
}

bool FfmpegPipe::Start(const std::string& program, const std::vector<std::string>& args,
                       const std::atomic<bool>* stop, std::string& reason) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE inRead = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&inRead, &input_, &inherit, kPipeBuffer)) {
        reason = SystemErrorText(HRESULT_FROM_WIN32(GetLastError()));
        return false;
    }
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        reason = SystemErrorText(HRESULT_FROM_WIN32(GetLastError()));
        CloseHandle(inRead);
        CloseHandle(input_);
        input_ = nullptr;
        return false;
    }
    // Only ffmpeg's own ends are inherited.
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = inRead;
    start.hStdOutput = errWrite;
    start.hStdError = errWrite;
    PROCESS_INFORMATION info = {};
    std::wstring line = Utf16(WindowsCommandLine(program, args));
    const BOOL started = CreateProcessW(Utf16(program).c_str(), &line[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &start, &info);
    const DWORD code = GetLastError();
    CloseHandle(inRead);
    CloseHandle(errWrite);
    if (!started) {
        reason = "cannot start \"" + program + "\": " + SystemErrorText(HRESULT_FROM_WIN32(code));
        CloseHandle(errRead);
        CloseHandle(input_);
        input_ = nullptr;
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    errors_ = std::thread([this, errRead] {
        char chunk[1024];
        DWORD got = 0;
        while (ReadFile(errRead, chunk, sizeof chunk, &got, nullptr) && got > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            tail_.append(chunk, got);
            if (tail_.size() > 2 * kKeptErrors) tail_.erase(0, tail_.size() - kKeptErrors);
        }
        CloseHandle(errRead);
    });
    guard_ = std::thread([this, stop] {
        while (!ended_ && WaitForSingleObject(process_, 20) == WAIT_TIMEOUT)
            if (stop != nullptr && stop->load()) TerminateProcess(process_, 1);
    });
    return true;
}

bool FfmpegPipe::Write(const void* bytes, size_t size) {
    const char* at = static_cast<const char*>(bytes);
    while (size > 0) {
        const DWORD part = DWORD(std::min<size_t>(size, size_t(1) << 24));
        DWORD n = 0;
        if (!WriteFile(input_, at, part, &n, nullptr) || n == 0) return false;
        at += n;
        size -= n;
    }
    return true;
}

bool FfmpegPipe::Finish(std::string& reason) {
    CloseHandle(input_);
    input_ = nullptr;
    WaitForSingleObject(process_, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process_, &status);
    ended_ = true;
    guard_.join();
    errors_.join();
    CloseHandle(process_);
    process_ = nullptr;
    if (status == 0) return true;
    reason = Failure(status);
    return false;
}

void FfmpegPipe::Kill() {
    TerminateProcess(process_, 1);
    std::string ignored;
    Finish(ignored);
}

std::string FfmpegPipe::Failure(DWORD status) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string last = LastLine(tail_);
    return "ffmpeg ended with status " + std::to_string(status) +
           (last.empty() ? std::string() : ": " + last);
}

}  // namespace quorlane
