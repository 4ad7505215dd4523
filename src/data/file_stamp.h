#pragma once
// What the file system says of one file at one moment: the series notes it
// for each step, the watch mode compares it to find a file rewritten.
#include <cstdint>

namespace quorlane {

struct FileStamp {
    bool exists = false;
    uint64_t size = 0;
    uint64_t writeTime = 0;  // the last write, in the system's unit
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && size == o.size && writeTime == o.writeTime;
    }
};

}  // namespace quorlane
