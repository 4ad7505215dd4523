// The expansion of a series' paths into steps.
#include "data/series.h"

#include <unordered_map>

#include "common/name_order.h"
#include "common/name_pattern.h"

namespace quorlane {

namespace {

// One expansion: the caller's questions, and the settings files' stamps
// already known (one question per folder, however many steps lie in it).
class Expansion {
  public:
    Expansion(const SeriesFileSystem& fs, PathStyle style, const CaseFold& fold,
              std::vector<SeriesStep>& steps)
        : fs_(fs),
          style_(style),
          fold_(fold),
          steps_(steps),
          gridName_(fold(WorkingDirectoryInputs().gridPath)),
          settingsName_(fold(WorkingDirectoryInputs().settingsPath)) {}

    LoadResult Path(const std::string& path) {
        const PathFacts facts = fs_.facts(path);
        if (facts.kind == PathKind::Folder) return Folder(path);
        if (facts.kind == PathKind::Missing) {
            if (WildcardInFolder(path, style_)) return LoadFailure(kWildcardInFolder, path);
            if (HasWildcard(LastComponent(path, style_))) return Pattern(path);
        }
        // A file, or a path that names nothing now: its load will say so.
        Step(path, facts.stamp, nullptr);
        return LoadOk();
    }

  private:
    // Every "*.dat" file of `folder`.
    LoadResult Folder(const std::string& folder) {
        std::vector<FolderEntry> entries;
        if (!fs_.list(folder, entries)) return LoadFailure(kCannotOpen, folder);
        const size_t before = steps_.size();
        Matches(folder, entries, fold_("*.dat"), false);
        return steps_.size() > before ? LoadOk() : LoadFailure(kNoGridFileIn, folder);
    }

    // Every name that matches the last component of `path`.
    LoadResult Pattern(const std::string& path) {
        std::string folder = path;
        while (!folder.empty() && IsPathSeparator(folder.back(), style_)) folder.pop_back();
        folder = FolderOf(folder, style_);
        std::vector<FolderEntry> entries;
        const size_t before = steps_.size();
        if (fs_.list(folder, entries)) {
            LoadResult r = Matches(folder, entries, fold_(LastComponent(path, style_)), true);
            if (!r.ok) return r;
        }
        return steps_.size() > before ? LoadOk() : LoadFailure(kNoGridFileMatches, path);
    }

    // The entries of `folder` whose folded names match `pattern`, in natural
    // order: files as steps and, with `folders`, folders expanded. The
    // settings file is never a step.
    LoadResult Matches(const std::string& folder, const std::vector<FolderEntry>& entries,
                       const std::string& pattern, bool folders) {
        std::vector<std::string> names;
        std::vector<size_t> matched;  // the entry of each of `names`
        const FileStamp* settings = nullptr;
        for (size_t k = 0; k < entries.size(); ++k) {
            const FolderEntry& e = entries[k];
            const std::string folded = fold_(e.name);
            const bool isSettings = !e.isFolder && folded == settingsName_;
            if (isSettings) settings = &e.stamp;
            if (!isSettings && (folders || !e.isFolder) && MatchesFoldedPattern(folded, pattern)) {
                names.push_back(e.name);
                matched.push_back(k);
            }
        }
        for (const size_t k : NaturalOrder(names, fold_)) {
            const FolderEntry& e = entries[matched[k]];
            const std::string path = JoinPath(folder, e.name, style_);
            if (!e.isFolder) {
                Step(path, e.stamp, settings);
                continue;
            }
            LoadResult r = Folder(path);
            if (!r.ok) return r;
        }
        return LoadOk();
    }

    // The step of the grid file `path`; `settings` is the stamp of the
    // settings file beside it when a listing gave it.
    void Step(const std::string& path, const FileStamp& stamp, const FileStamp* settings) {
        SeriesStep step;
        step.files = InputsOf(path, false, style_);
        step.grid = stamp;
        if (fold_(step.files.name) == gridName_) {
            const std::string folder = FolderOf(path, style_);
            std::string name = LastComponent(folder, style_);
            if ((name.empty() || name == "." || name == "..") && fs_.folderName)
                name = fs_.folderName(folder);
            if (!name.empty()) step.files.name = step.files.stem = name;
        }
        if (settings) {
            step.settings = *settings;
        } else {
            auto known = settingsStamps_.find(step.files.settingsPath);
            if (known == settingsStamps_.end())
                known =
                    settingsStamps_
                        .emplace(step.files.settingsPath, fs_.facts(step.files.settingsPath).stamp)
                        .first;
            step.settings = known->second;
        }
        steps_.push_back(std::move(step));
    }

    const SeriesFileSystem& fs_;
    const PathStyle style_;
    const CaseFold& fold_;
    std::vector<SeriesStep>& steps_;
    const std::string gridName_, settingsName_;
    std::unordered_map<std::string, FileStamp> settingsStamps_;
};

}  // namespace

LoadResult ExpandSeries(const std::vector<std::string>& paths, const SeriesFileSystem& fs,
                        std::vector<SeriesStep>& steps, PathStyle style, const CaseFold& fold) {
    steps.clear();
    Expansion expansion(fs, style, fold, steps);
    for (const std::string& path : paths) {
        LoadResult r = expansion.Path(path);
        if (!r.ok) {
            steps.clear();
            return r;
        }
    }
    return LoadOk();
}

}  // namespace quorlane
