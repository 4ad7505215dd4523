// The inputs of an export resolved and their outputs checked: the names, two
// inputs writing one file, and an output that is an input's file, as the file
// system compares names and identifies files.
#include "exporter/batch_inputs.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

#include "common/name_pattern.h"
#include "common/names.h"
#include "common/text.h"
#include "data/series.h"
#include "exporter/options/output_names.h"
#include "win/file_facts.h"
#include "win/series_file_system.h"
#include "win/utf.h"

namespace quorlane {

namespace {

// A name as the file system compares names: every letter in capitals.
std::string FoldFileNameCase(const std::string& name) {
    std::wstring text = Utf16(name);
    const int n = int(text.size());
    if (n == 0 || LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), n, &text[0],
                                n, nullptr, nullptr, 0) != n)
        return FoldAsciiCase(name);
    return Utf8(text.data(), text.size());
}

// What the file system says of a path, as the output checks ask it.
std::optional<uint64_t> FileSizeOf(const std::string& path) {
    const std::optional<SizeAndTime> found = SizeAndTimeOf(path);
    return found ? std::optional<uint64_t>(found->size) : std::nullopt;
}
std::optional<FileIdentity> FileIdentityOf(const std::string& path) {
    return IdentityOf(path);
}

// The output as the comparison of outputs takes it: its full path, or as
// written when it has none; empty for an input that names nothing.
std::string FullOutputPath(const std::string& output) {
    if (output.empty()) return std::string();
    std::error_code ec;
    const std::filesystem::path full =
        std::filesystem::absolute(std::filesystem::u8path(output), ec);
    return ec ? output : full.u8string();
}

// The input `path` given, or a path that names nothing.
void AddInput(const std::string& path, std::vector<BatchInput>& inputs) {
    BatchInput in;
    in.path = path;
    const LoadResult r = ResolveArgument(in.path, in.files);
    if (!r.ok) in.failure = r.message;
    inputs.push_back(std::move(in));
}

// The inputs `path` stands for: the grid files and folders a pattern matches
// (its last component holding * or ?), the *.dat files of a folder that holds
// no grid file of the default name, each in natural order; else the path
// itself. A pattern that matches nothing is an input that fails.
void ExpandPath(const std::string& path, const SeriesFileSystem& fs,
                std::vector<BatchInput>& inputs) {
    const PathKind kind = fs.facts(path).kind;
    const bool pattern =
        kind == PathKind::Missing && (HasWildcard(LastComponent(path, kSystemPathStyle)) ||
                                      WildcardInFolder(path, kSystemPathStyle));
    const bool folderOfSteps =
        kind == PathKind::Folder && fs.facts(InputsOf(path, true).gridPath).kind != PathKind::File;
    if (!pattern && !folderOfSteps) return AddInput(path, inputs);
    std::vector<SeriesStep> steps;
    const LoadResult r = ExpandSeries({path}, fs, steps);
    if (!r.ok) {
        // A folder without steps is as before: its grid file cannot be opened.
        if (folderOfSteps) return AddInput(path, inputs);
        BatchInput in;
        in.path = path;
        in.failure = r.message;
        inputs.push_back(std::move(in));
        return;
    }
    for (const SeriesStep& step : steps) {
        // A folder's grid file of the default name is that folder as an
        // input, named as a folder given alone is.
        const std::string& grid = step.files.gridPath;
        std::string folder = FolderOf(grid, kSystemPathStyle);
        while (folder.size() > 1 && IsPathSeparator(folder.back(), kSystemPathStyle) &&
               folder[folder.size() - 2] != ':')
            folder.pop_back();
        const bool ofFolder =
            FoldAsciiCase(LastComponent(grid, kSystemPathStyle)) == FoldAsciiCase(kGridFileName);
        AddInput(ofFolder && !folder.empty() ? folder : grid, inputs);
    }
}

}  // namespace

std::string PrepareInputs(const ExportOptions& options, std::vector<BatchInput>& inputs) {
    const SeriesFileSystem fs = SystemSeriesFileSystem();
    for (const std::string& path : options.paths) ExpandPath(path, fs, inputs);
    const bool movie = options.movie != MovieFormat::None;
    if (movie || options.toStandardOutput) {
        // One output for every input: no two write one file, and a movie is
        // never one of the inputs' files.
        std::vector<std::vector<std::string>> files;
        for (BatchInput& in : inputs) {
            if (!in.failure.empty()) continue;
            in.output = options.pattern;
            files.push_back({in.files.gridPath, in.files.settingsPath});
        }
        if (!movie) return std::string();
        const std::string device = ReservedDeviceName(options.pattern);
        if (!device.empty())
            return Quoted(options.pattern) + ": " + device +
                   " is the name of a device, not of a file";
        size_t a = 0, b = 0;
        if (FindOutputOfAnInput({options.pattern}, files, {FileSizeOf, FileIdentityOf}, a, b))
            for (const BatchInput& in : inputs)
                if (in.failure.empty() && b-- == 0)
                    return "\"" + options.pattern + "\" would overwrite the input \"" + in.path +
                           "\"";
        return std::string();
    }
    std::vector<std::string> keys;
    std::vector<std::vector<std::string>> files;  // each input's grid and settings files
    for (size_t k = 0; k < inputs.size(); ++k) {
        BatchInput& in = inputs[k];
        const bool ok = in.failure.empty();
        // A path that names nothing is checked with its own last component.
        const std::string stem = ok ? in.files.stem : LastComponent(in.path, kSystemPathStyle);
        const std::string output = ExpandOutputPattern(options.pattern, stem, k + 1);
        std::string error = CheckOutputName(output);
        if (!error.empty()) return error;
        if (ok) {
            in.output = output;
            files.push_back({in.files.gridPath, in.files.settingsPath});
        } else {
            files.emplace_back();
        }
        keys.push_back(FullOutputPath(in.output));
    }
    size_t a = 0, b = 0;
    if (FindSharedOutput(keys, a, b, kSystemPathStyle, FoldFileNameCase))
        return "\"" + inputs[a].path + "\" and \"" + inputs[b].path + "\" would both write \"" +
               inputs[b].output + "\"";
    std::vector<std::string> outputs;
    outputs.reserve(inputs.size());
    for (const BatchInput& in : inputs) outputs.push_back(in.output);
    if (FindOutputOfAnInput(outputs, files, {FileSizeOf, FileIdentityOf}, a, b))
        return "\"" + outputs[a] + "\" would overwrite the input \"" + inputs[b].path + "\"";
    return std::string();
}

}  // namespace quorlane
