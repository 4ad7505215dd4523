// The path rules of the input files: a folder or a grid file on the command
// line, the settings file beside a grid file, and the names shown for them.
#include "data/inputs.h"

#include <filesystem>
#include <system_error>

#include "data/grid_loader.h"
#include "data/settings.h"

namespace {

const char kGridFile[] = "quorlane.dat";
const char kSettingsFile[] = "quorlane.ini";

// The separator to join a name on with: the last one the user wrote, else
// the system's own.
char SeparatorOf(const std::string& path, PathStyle style) {
    for (size_t k = path.size(); k-- > 0;)
        if (IsPathSeparator(path[k], style)) return path[k];
    return style == PathStyle::Windows ? '\\' : '/';
}

// `name` inside the folder `folder`, exactly as the user spelled the folder.
std::string Join(const std::string& folder, const char* name, PathStyle style) {
    if (folder.empty()) return name;
    const bool open =
        IsPathSeparator(folder.back(), style) || folder.size() == DriveLength(folder, style);
    return open ? folder + name : folder + SeparatorOf(folder, style) + name;
}

// The folder part of a file's path, its last separator included ("" for a
// bare file name, "C:" for "C:file.dat").
std::string FolderOf(const std::string& path, PathStyle style) {
    return path.substr(0, FileNameStart(path, style));
}

// The last component of a path, separators at its end left out.
std::string LastComponent(const std::string& path, PathStyle style) {
    size_t end = path.size();
    while (end > 0 && IsPathSeparator(path[end - 1], style)) --end;
    size_t start = end;
    while (start > DriveLength(path, style) && !IsPathSeparator(path[start - 1], style)) --start;
    return path.substr(start, end - start);
}

std::filesystem::path NativePath(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
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

InputFiles WorkingDirectoryInputs() {
    return {kGridFile, kSettingsFile, std::string(), std::string()};
}

InputFiles InputsOf(const std::string& path, bool isFolder, PathStyle style) {
    InputFiles in;
    in.name = LastComponent(path, style);
    if (isFolder) {
        in.gridPath = Join(path, kGridFile, style);
        in.settingsPath = Join(path, kSettingsFile, style);
        in.stem = in.name;
    } else {
        in.gridPath = path;
        in.settingsPath = FolderOf(path, style) + kSettingsFile;
        const size_t dot = in.name.rfind('.');
        in.stem = dot == std::string::npos || dot == 0 ? in.name : in.name.substr(0, dot);
    }
    return in;
}

PathKind KindOfPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(NativePath(path), ec);
    if (ec || !std::filesystem::exists(st)) return PathKind::Missing;
    return std::filesystem::is_directory(st) ? PathKind::Folder : PathKind::File;
}

std::string WindowTitle(const InputFiles& inputs) {
    return inputs.name.empty() ? "Quorlane" : inputs.name + " - Quorlane";
}

StartupResult LoadInputs(const InputFiles& inputs, WorkerPool& pool, Grid& grid,
                         DisplaySettings& settings, const GridLoadOptions& options) {
    StartupResult r = LoadGrid(grid, pool, inputs.gridPath, options);
    if (r.ok) r = LoadSettings(settings, inputs.settingsPath);
    return r;
}

StartupResult ResolveArgument(const std::string& path, InputFiles& inputs) {
    const PathKind kind = path.empty() ? PathKind::Missing : KindOfPath(path);
    if (kind == PathKind::Missing) return StartupFail("Cannot open", path);
    inputs = InputsOf(path, kind == PathKind::Folder);
    if (inputs.name.empty() || inputs.name == "." || inputs.name == "..") {
        // "." or a drive's root: the folder's own name, where it has one.
        std::error_code ec;
        const std::filesystem::path full =
            std::filesystem::weakly_canonical(std::filesystem::absolute(NativePath(path), ec), ec);
        const std::string own = ec ? std::string() : full.filename().u8string();
        inputs.name = inputs.stem = own.empty() ? path : own;
    }
    return StartupOk();
}

std::string QuoteArgument(const std::string& argument) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}
