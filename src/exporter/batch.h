#pragma once
// The exporter's batch: every input loaded, its client picture drawn exactly
// as the main window draws it, and encoded into its output file. In a batch
// the three steps overlap: the next input loads while the current picture
// is drawn, and the pictures drawn before it are encoded on threads of
// their own, each picture whole before its encoding starts, so that every
// file holds the same pixels as when the inputs are done one by one.
#include <atomic>
#include <string>

#include "exporter/console.h"
#include "exporter/image_file.h"
#include "exporter/options/arguments.h"

using quorlane::ExportOptions;

// How a run is carried out. The program takes the defaults; the benchmark
// compares others.
struct ExportTuning {
    unsigned encoders = 0;  // pictures encoded at once (0: one per core, at most 4)
    bool pipelined = true;  // false: each input loaded, drawn and written before the next
    PngEncoding png;
};

// The exit status of a run stopped before every input was done.
constexpr int kStoppedStatus = 130;

// Exports every input of `options` (parsed, no --help): 0 when every output
// file was written, 1 when any input failed (each reported on standard
// error, the others still written), 2 for a usage error found in the
// inputs' outputs (an unknown format, a device's name, two inputs writing
// one file, an output that is an input's file), before any input is read.
// Once `stop` is set (from any thread) no further input is started and the
// files being written are given up, their temporary files removed; a run
// stopped before every input was done says so on standard error ("stopped
// after K of N") and gives kStoppedStatus.
int ExportAll(const ExportOptions& options, const ExportTuning& tuning, Console& console,
              const std::atomic<bool>* stop = nullptr);
