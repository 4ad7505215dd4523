#pragma once
// The exporter's run: every input loaded, its client picture drawn exactly
// as the main window draws it, and encoded into its output file. In a batch
// the three steps overlap: the next input loads while the current picture
// is drawn, and the pictures drawn before it are encoded on threads of
// their own, each picture whole before its encoding starts, so that every
// file holds the same pixels as when the inputs are done one by one.
#include <wincodec.h>
#include <windows.h>

#include <mutex>
#include <string>

#include "data/settings.h"
#include "export/export_options.h"

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

// How a run is carried out. The program takes the defaults; the benchmark
// compares others.
struct ExportTuning {
    unsigned encoders = 0;  // pictures encoded at once (0: one per core, at most 4)
    bool pipelined = true;  // false: each input loaded, drawn and written before the next
    WICPngFilterOption pngFilter = WICPngFilterNone;
};

// Reports a usage error ("quorlane-export: MESSAGE" and where help is) on
// standard error; the exit status for it, 2.
int UsageError(Console& console, const std::string& message);

// The client area of a main window of the settings' size: the size less the
// frame, caption and menu bar of an overlapped window with a menu on this
// system, each side at least 0.
void DefaultClientSize(const DisplaySettings& settings, int& width, int& height);

// Exports every input of `options` (parsed, no --help): 0 when every output
// file was written, 1 when any input failed (each reported on standard
// error, the others still written), 2 for a usage error found in the
// inputs' outputs (an unknown format, two inputs writing one file), before
// anything is written.
int RunExport(const ExportOptions& options, const ExportTuning& tuning, Console& console);
