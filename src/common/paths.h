#pragma once
// The text rules of paths, shared by the input files and the exporter's output
// names. Pure text: the file system is never asked.
#include <cstddef>
#include <functional>
#include <string>

#include "common/text.h"

namespace quorlane {

// How paths are spelled: on Windows both '\' and '/' separate folders and a
// drive ("C:") may lead; elsewhere only '/' separates.
enum class PathStyle { Windows, Posix };

#if defined(_WIN32)
constexpr PathStyle kSystemPathStyle = PathStyle::Windows;
#else
constexpr PathStyle kSystemPathStyle = PathStyle::Posix;
#endif

// Whether `c` separates folders in paths of `style`.
bool IsPathSeparator(char c, PathStyle style);
// The length of a Windows path's leading drive ("C:"), else 0.
size_t DriveLength(const std::string& path, PathStyle style);
// Where the file name starts: after the last separator, or the drive.
size_t FileNameStart(const std::string& path, PathStyle style);
// The extension of the file name in `path` (after its last dot), in lower
// case ASCII; empty when the name has no dot.
std::string LowerExtension(const std::string& path, PathStyle style);
// The folder part of a file's path, its last separator included ("" for a
// bare file name, "C:" for "C:file.dat").
std::string FolderOf(const std::string& path, PathStyle style);
// A UTF-8 name in the one letter case that the file system compares names
// in; FoldAsciiCase (common/text) folds A to Z alone, for systems whose names are compared
// another way (Windows hands in its own table, which folds every letter).
using CaseFold = std::function<std::string(const std::string&)>;
// The last component of a path, separators at its end left out ("run42" for
// "runs/run42/"; "" for a drive or a root alone).
std::string LastComponent(const std::string& path, PathStyle style);
// `name` inside the folder `folder`, exactly as the user spelled the folder,
// joined with the last separator the user wrote (else the system's own).
std::string JoinPath(const std::string& folder, const std::string& name, PathStyle style);

}  // namespace quorlane
