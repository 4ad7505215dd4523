#pragma once
// The exporter's standard output and standard error.
#include <windows.h>

#include <mutex>
#include <string>

#include "common/names.h"

namespace quorlane {

// The process's standard output and standard error, for whole lines from
// any thread. Text is UTF-8: a console gets it as UTF-16, anything else
// (a file, a pipe) as the UTF-8 bytes.
class Console {
  public:
    Console();
    void Out(const std::string& line) { Write(out_, line); }
    void Err(const std::string& line) { Write(err_, line); }

  private:
    void Write(HANDLE handle, const std::string& line);
    std::mutex mutex_;
    HANDLE out_, err_;
};

// Reports a usage error ("quorlane-export: MESSAGE" and where help is) on
// standard error; the exit status for it, 2.
int UsageError(Console& console, const std::string& message);

}  // namespace quorlane
