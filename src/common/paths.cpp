// Separators, drives, file names and folders of paths as text.
#include "common/paths.h"

#include "common/text.h"

namespace quorlane {

namespace {

// The separator to join a name on with: the last one the user wrote, else
// the system's own.
char SeparatorOf(const std::string& path, PathStyle style) {
    for (size_t k = path.size(); k-- > 0;)
        if (IsPathSeparator(path[k], style)) return path[k];
    return style == PathStyle::Windows ? '\\' : '/';
}

}  // namespace

bool IsPathSeparator(char c, PathStyle style) {
    return c == '/' || (style == PathStyle::Windows && c == '\\');
}

size_t DriveLength(const std::string& path, PathStyle style) {
    const bool letter = path.size() >= 2 &&
                        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return style == PathStyle::Windows && letter && path[1] == ':' ? 2 : 0;
}

size_t FileNameStart(const std::string& path, PathStyle style) {
    for (size_t k = path.size(); k-- > DriveLength(path, style);)
        if (IsPathSeparator(path[k], style)) return k + 1;
    return DriveLength(path, style);
}

std::string LowerExtension(const std::string& path, PathStyle style) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < FileNameStart(path, style)) return std::string();
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = LowerAscii(c);
    return extension;
}

std::string FolderOf(const std::string& path, PathStyle style) {
    return path.substr(0, FileNameStart(path, style));
}

std::string LastComponent(const std::string& path, PathStyle style) {
    size_t end = path.size();
    while (end > 0 && IsPathSeparator(path[end - 1], style)) --end;
    size_t start = end;
    while (start > DriveLength(path, style) && !IsPathSeparator(path[start - 1], style)) --start;
    return path.substr(start, end - start);
}

std::string JoinPath(const std::string& folder, const std::string& name, PathStyle style) {
    if (folder.empty()) return name;
    const bool open =
        IsPathSeparator(folder.back(), style) || folder.size() == DriveLength(folder, style);
    return open ? folder + name : folder + SeparatorOf(folder, style) + name;
}

}  // namespace quorlane
