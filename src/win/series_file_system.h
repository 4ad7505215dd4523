#pragma once
// The file system as the expansion of a series asks it (data/series.h),
// answered by the system's own calls; for both programs.
#include "data/series.h"

namespace quorlane {

// What a path is (GetFileAttributesExW), a folder's entries in one listing
// (FindFirstFileExW, FindNextFileW) and what a folder without a name of its
// own is called (the last component of its full path).
SeriesFileSystem SystemSeriesFileSystem();

}  // namespace quorlane
