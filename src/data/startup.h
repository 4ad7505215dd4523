#pragma once
// Outcome of a start-up step (loading the grid file or the settings file).
// The loaders show nothing themselves: on failure they hand the application
// the text for the start-up failure report and the exit status to end with.

struct StartupResult {
    bool ok;              // true: loaded; false: start-up ends
    int status;           // exit status when !ok (always 1)
    const char* message;  // text of the failure report when !ok, else nullptr
};

inline StartupResult StartupOk() {
    return {true, 0, nullptr};
}
inline StartupResult StartupFail(const char* message) {
    return {false, 1, message};
}
