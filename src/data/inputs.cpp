// The path rules of the input files: a folder or a grid file on the command
// line, the settings file beside a grid file, and the names shown for them.
#include "data/inputs.h"

#include <filesystem>
#include <system_error>

#include "common/names.h"
#include "common/text.h"
#include "data/bytesource.h"
#include "data/grid_loader.h"
#include "data/settings.h"

namespace quorlane {

namespace {

std::filesystem::path NativePath(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
}

}  // namespace

InputFiles WorkingDirectoryInputs() {
    return {kGridFileName, kSettingsFileName, std::string(), std::string()};
}

InputFiles InputsOf(const std::string& path, bool isFolder, PathStyle style) {
    InputFiles in;
    in.name = LastComponent(path, style);
    if (isFolder) {
        in.gridPath = JoinPath(path, kGridFileName, style);
        in.settingsPath = JoinPath(path, kSettingsFileName, style);
        in.stem = in.name;
    } else {
        in.gridPath = path;
        in.settingsPath = FolderOf(path, style) + kSettingsFileName;
        const size_t dot = in.name.rfind('.');
        in.stem = dot == std::string::npos || dot == 0 ? in.name : in.name.substr(0, dot);
    }
    return in;
}

std::string FolderName(const std::string& folder, PathStyle style) {
    std::string last = LastComponent(folder, style);
    if (last.empty()) last = folder.substr(0, DriveLength(folder, style));
    // a drive alone ("C:"), also after "\\?\"
    if (DriveLength(last, style) == last.size() && !last.empty())
        return std::string(1, UpperAscii(last[0]));
    return last.empty() ? "root" : last;
}

PathKind KindOfPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(NativePath(path), ec);
    if (ec || !std::filesystem::exists(st)) return PathKind::Missing;
    return std::filesystem::is_directory(st) ? PathKind::Folder : PathKind::File;
}

LoadResult LoadInputs(const InputFiles& inputs, WorkerPool& pool, Grid& grid,
                      DisplaySettings& settings, const GridLoadOptions& options,
                      SettingsOpened settingsOpened) {
    if (settingsOpened == SettingsOpened::AfterTheGrid) {
        LoadResult r = LoadGrid(grid, pool, inputs.gridPath, options);
        if (r.ok) r = LoadSettings(settings, inputs.settingsPath);
        return r;
    }
    grid = Grid();
    settings = DisplaySettings();
    FileSource gridFile, settingsFile;
    if (!gridFile.Open(inputs.gridPath)) return LoadFailure(kCannotOpen, inputs.gridPath);
    if (!settingsFile.Open(inputs.settingsPath))
        return LoadFailure(kCannotOpen, inputs.settingsPath);
    LoadResult r = LoadGridFrom(grid, gridFile, pool, options, inputs.gridPath);
    if (r.ok) r = LoadSettingsFrom(settings, settingsFile, inputs.settingsPath);
    return r;
}

LoadResult ResolveArgument(const std::string& path, InputFiles& inputs) {
    const PathKind kind = path.empty() ? PathKind::Missing : KindOfPath(path);
    if (kind == PathKind::Missing) return LoadFailure(kCannotOpen, path);
    inputs = InputsOf(path, kind == PathKind::Folder);
    if (inputs.name.empty() || inputs.name == "." || inputs.name == "..") {
        // "." or a root: the name of the folder it stands for.
        std::error_code ec;
        const std::filesystem::path full =
            std::filesystem::weakly_canonical(std::filesystem::absolute(NativePath(path), ec), ec);
        inputs.name = inputs.stem = FolderName(ec ? path : full.u8string());
    }
    return LoadOk();
}

}  // namespace quorlane
