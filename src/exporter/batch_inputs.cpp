// The inputs of an export resolved and their outputs checked: the names, two
// inputs writing one file, and an output that is an input's file, as the file
// system compares names and identifies files.
#include "exporter/batch_inputs.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

#include "exporter/options/output_names.h"
#include "win/file_facts.h"
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

}  // namespace

std::string PrepareInputs(const ExportOptions& options, std::vector<BatchInput>& inputs) {
    std::vector<std::string> keys;
    std::vector<std::vector<std::string>> files;  // each input's grid and settings files
    for (size_t k = 0; k < options.paths.size(); ++k) {
        BatchInput in;
        in.path = options.paths[k];
        const LoadResult r = ResolveArgument(in.path, in.files);
        // A path that names nothing is checked with its own last component.
        const std::string stem = r.ok ? in.files.stem : LastComponent(in.path, kSystemPathStyle);
        const std::string output = ExpandOutputPattern(options.pattern, stem, k + 1);
        std::string error = CheckOutputName(output);
        if (!error.empty()) return error;
        if (r.ok) {
            in.output = output;
            files.push_back({in.files.gridPath, in.files.settingsPath});
        } else {
            in.failure = r.message;
            files.emplace_back();
        }
        keys.push_back(FullOutputPath(in.output));
        inputs.push_back(std::move(in));
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
