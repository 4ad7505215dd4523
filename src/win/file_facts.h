#pragma once
// What the file system says of a path: a file's size and write time, which
// file or folder a path opens, and whether a file is listed under a name.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quorlane {

// A file's size in bytes and its last write time (the system's 100 ns ticks).
struct SizeAndTime {
    uint64_t size = 0;
    uint64_t writeTime = 0;
};
// Of the file or folder `path` (UTF-8) names, if it names one.
std::optional<SizeAndTime> SizeAndTimeOf(const std::string& path);

// Which file or folder a path opens: its volume's serial number and its
// index on that volume.
using PathIdentity = std::pair<uint64_t, uint64_t>;
// Of what `path` opens, if it opens anything.
std::optional<PathIdentity> IdentityOf(const std::string& path);
// Of an open handle; none for INVALID_HANDLE_VALUE.
std::optional<PathIdentity> IdentityOf(HANDLE opened);

// Whether the file `path` names is there under that name, as its folder
// lists it (in any letter case: a file replaced keeps its own on some
// systems). A folder that cannot be searched (listing not allowed) tells
// nothing, and the file is taken to be there.
bool ListedUnderName(const std::wstring& path);

// Whether a file is there under the name `path` (UTF-8) as written: a file
// a system found under a name it cut short (another's, under Wine) is not.
bool ThereAsNamed(const std::string& path);

}  // namespace quorlane
