#pragma once
// What a series asks of Windows beside the file system's listings
// (win/series_file_system): the paths of an --inputs list, and the memory.
#include <string>
#include <vector>

#include "data/series.h"

namespace quorlane {

// Reads the paths of the list `file` (one a line, the exporter's rules for
// --inputs) into `paths`: the empty string, or why the list cannot be read.
std::string ReadPathListFile(const std::string& file, std::vector<std::string>& paths);

// The physical memory of the machine in bytes (0 when the system does not
// say), for the step cache's default budget.
uint64_t PhysicalMemoryBytes();

}  // namespace quorlane
