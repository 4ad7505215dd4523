#pragma once
// Outcome of loading an input file (the grid file or the settings file). The
// loaders show nothing themselves: on failure they hand the caller the text of
// the failure report. The viewer shows it in a box at start-up and ends with
// kLoadFailedStatus; the exporter reports it for the one input that failed.
#include <string>

#include "common/text.h"

namespace quorlane {

struct LoadResult {
    bool ok;              // true: loaded; false: the input cannot be shown
    std::string message;  // text of the failure report when !ok, else empty
};

// The exit status of a program that ends because an input did not load.
constexpr int kLoadFailedStatus = 1;

// The reasons a report gives, each followed by the file's name in quotes.
constexpr char kCannotOpen[] = "Cannot open";
constexpr char kErrorReading[] = "Error reading";
constexpr char kNotEnoughMemoryFor[] = "Not enough memory for";

inline LoadResult LoadOk() {
    return {true, std::string()};
}
// A failure report: the reason and the file as the user named it in quotes,
// e.g. Cannot open "quorlane.dat".
inline LoadResult LoadFailure(const char* reason, const std::string& file) {
    return {false, std::string(reason) + " " + Quoted(file)};
}
// Whether a load failed because a file could not be opened (missing, held
// by a writer that shares it with no one, not readable).
inline bool CouldNotOpen(const LoadResult& r) {
    return !r.ok && r.message.compare(0, sizeof kCannotOpen, std::string(kCannotOpen) + " ") == 0;
}

}  // namespace quorlane
