#pragma once
// Where the two input files lie. Without an argument they are "quorlane.dat"
// and "quorlane.ini" in the working directory. An argument names either a
// folder that holds both, or a grid file of any name whose settings file is
// the "quorlane.ini" beside it, so that one settings file serves every grid
// of a run. Paths are UTF-8 strings, opened as they are and named in reports
// as the user gave them, with the file name joined on with the separator the
// user wrote (or the system's own).
#include <string>

#include "common/paths.h"
#include "data/grid_loader.h"
#include "data/load_result.h"

namespace quorlane {

class WorkerPool;
struct DisplaySettings;

struct InputFiles {
    std::string gridPath;      // the grid file
    std::string settingsPath;  // the settings file
    // What the files are called for the user, one file name: the folder's
    // last component or the grid file's name ("run42", "step_0017.dat"); see
    // FolderName for ".", ".." and roots. Empty without an argument.
    std::string name;
    // The name without the grid file's extension ("step_0017"); a folder's
    // name as it is.
    std::string stem;
};

// The files read without an argument.
InputFiles WorkingDirectoryInputs();

// The files that `path` names when it is a folder (isFolder) or a file.
// Pure text rules: the file system is not asked.
InputFiles InputsOf(const std::string& path, bool isFolder, PathStyle style = kSystemPathStyle);

// What a folder is called for the user, always one file name: the last
// component of its full path `folder`; for a drive's root the drive's letter
// ("C" for "C:\\"), for a root without a drive "root".
std::string FolderName(const std::string& folder, PathStyle style = kSystemPathStyle);

// What kind of thing `path` names on this system.
enum class PathKind { Missing, Folder, File };
PathKind KindOfPath(const std::string& path);

// When the settings file is opened: after the grid is read (the reports of
// a start-up), or before it, and kept open while it is read (the watch
// mode's reloads: while the settings file cannot be opened no grid is read,
// and the two files are read as they were when the load began).
enum class SettingsOpened { AfterTheGrid, BeforeTheGrid };

// Loads the grid file and then the settings file of `inputs`; the first
// failure ends it.
LoadResult LoadInputs(const InputFiles& inputs, WorkerPool& pool, Grid& grid,
                      DisplaySettings& settings, const GridLoadOptions& options = {},
                      SettingsOpened settingsOpened = SettingsOpened::AfterTheGrid);

// Resolves an argument: the files it names, or the start-up failure report
// (Cannot open "PATH") when it names nothing that exists.
LoadResult ResolveArgument(const std::string& path, InputFiles& inputs);

}  // namespace quorlane
