#pragma once
// The steps of a series: the paths a user gives, expanded into grid files.
// A grid file is one step; a folder is every "*.dat" file in it; a path
// whose last component holds '*' or '?' is every name that matches it, each
// taken as if it had been given (a folder among them is expanded as a
// folder), so that a pattern that a shell has already expanded gives the
// same steps; the settings file is never one of them. Within a folder or a
// pattern the steps come in the natural order of their names
// (common/name_order); across paths, in the order the paths were given. Each
// step shows with the "quorlane.ini" beside its grid file. Names only:
// nothing is loaded, and the file system is asked through the caller's
// SeriesFileSystem (one listing per folder or pattern, one question per path
// given and per settings file not seen in a listing).
#include <functional>
#include <string>
#include <vector>

#include "common/paths.h"
#include "data/file_stamp.h"
#include "data/inputs.h"
#include "data/load_result.h"

namespace quorlane {

// The reasons of an expansion's failure reports, each followed by the path
// in quotes; a wildcard in a folder component is not supported.
constexpr char kNoGridFileMatches[] = "No grid file matches";
constexpr char kNoGridFileIn[] = "No grid file in";
constexpr char kWildcardInFolder[] = "* or ? in a folder's name is not supported:";

// What the file system says of a path.
struct PathFacts {
    PathKind kind = PathKind::Missing;
    FileStamp stamp;  // of a file
};

// One entry of a folder's listing ("." and ".." left out).
struct FolderEntry {
    std::string name;
    bool isFolder = false;
    FileStamp stamp;  // of a file
};

// How the expansion asks the file system; tests bring a fake.
struct SeriesFileSystem {
    std::function<PathFacts(const std::string& path)> facts;
    // The entries of `folder` ("" is the working directory); false when it
    // cannot be listed.
    std::function<bool(const std::string& folder, std::vector<FolderEntry>& entries)> list;
    // What a folder whose path does not end in a name ("", ".", "..", a
    // root) is called for the user: FolderName (data/inputs) of its full path.
    std::function<std::string(const std::string& folder)> folderName;
};

// One step: its files and what they are called, and the stamps they had
// when listed (compared by the watch mode to find a step rewritten).
struct SeriesStep {
    // The grid file, the settings file beside it, and the step's name: the
    // grid file's name, or for a folder's "quorlane.dat" the folder's name,
    // as the viewer names a folder.
    InputFiles files;
    FileStamp grid, settings;
};

// Expands `paths` into `steps`. The first path that names no grid file (a
// folder without one, a pattern that matches none, a folder that cannot be
// listed, a wildcard in a folder component) ends it with its failure report;
// a plain path that does not exist is a step, reported when it is loaded.
LoadResult ExpandSeries(const std::vector<std::string>& paths, const SeriesFileSystem& fs,
                        std::vector<SeriesStep>& steps, PathStyle style = kSystemPathStyle,
                        const CaseFold& fold = FoldAsciiCase);

}  // namespace quorlane
