#pragma once
// Outcome of a start-up step (loading the grid file or the settings file).
// The loaders show nothing themselves: on failure they hand the application
// the text for the start-up failure report and the exit status to end with.
#include <string>

struct StartupResult {
    bool ok;              // true: loaded; false: start-up ends
    int status;           // exit status when !ok (always 1)
    std::string message;  // text of the failure report when !ok, else empty
};

inline StartupResult StartupOk() {
    return {true, 0, std::string()};
}
// A failure report: the reason and the file as the user named it in quotes,
// e.g. Cannot open "quorlane.dat".
inline StartupResult StartupFail(const char* reason, const std::string& file) {
    return {false, 1, std::string(reason) + " \"" + file + "\""};
}
