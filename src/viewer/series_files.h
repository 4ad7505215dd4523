#pragma once
// What a series asks of the Windows file system: the facts of a path and a
// folder's listing for ExpandSeries (data/series.h), and the paths of an
// --inputs list.
#include <string>
#include <vector>

#include "data/series.h"

namespace quorlane {

// The file system as ExpandSeries asks it, through FindFirstFileExW and
// GetFileAttributesExW.
SeriesFileSystem WindowsSeriesFileSystem();

// Reads the paths of the list `file` (one a line, the exporter's rules for
// --inputs) into `paths`: the empty string, or why the list cannot be read.
std::string ReadPathListFile(const std::string& file, std::vector<std::string>& paths);

// The physical memory of the machine in bytes (0 when the system does not
// say), for the step cache's default budget.
uint64_t PhysicalMemoryBytes();

}  // namespace quorlane
