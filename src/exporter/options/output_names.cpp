// The output pattern, the picture format of an output's name, and outputs that
// name one file.
#include "exporter/options/output_names.h"

#include <map>
#include <set>
#include <unordered_map>

#include "common/text.h"

namespace quorlane {

namespace {

// The field that starts at pattern[k] == '{': its length, or 0 when it is
// not one of {name}, {n}, {n:K}. `width` gets the digits of {n} (0 for
// {name}).
size_t FieldAt(const std::string& pattern, size_t k, int& width) {
    if (pattern.compare(k, 6, "{name}") == 0) {
        width = 0;
        return 6;
    }
    if (pattern.compare(k, 3, "{n}") == 0) {
        width = 4;
        return 3;
    }
    if (pattern.compare(k, 3, "{n:") == 0 && k + 4 < pattern.size() && pattern[k + 3] >= '1' &&
        pattern[k + 3] <= '9' && pattern[k + 4] == '}') {
        width = pattern[k + 3] - '0';
        return 5;
    }
    return 0;
}

}  // namespace

std::string CheckOutputPattern(const std::string& pattern) {
    if (pattern.empty()) return "--out needs a file name";
    for (size_t k = 0; k < pattern.size(); ++k) {
        if (pattern[k] != '{') continue;
        int width = 0;
        if (k + 1 < pattern.size() && pattern[k + 1] == '{') {
            ++k;
        } else if (const size_t n = FieldAt(pattern, k, width)) {
            k += n - 1;
        } else {
            const size_t close = pattern.find('}', k);
            const std::string field =
                close == std::string::npos ? pattern.substr(k) : pattern.substr(k, close - k + 1);
            return "--out " + Quoted(pattern) + ": unknown field " + Quoted(field) +
                   " (use {name}, {n} or {n:K}; {{ for a brace)";
        }
    }
    return std::string();
}

std::string ExpandOutputPattern(const std::string& pattern, const std::string& stem,
                                size_t position) {
    std::string out;
    for (size_t k = 0; k < pattern.size(); ++k) {
        const char c = pattern[k];
        int width = 0;
        const size_t n = c == '{' ? FieldAt(pattern, k, width) : 0;
        if (n == 0) {
            out += c;
            const bool doubled =
                (c == '{' || c == '}') && k + 1 < pattern.size() && pattern[k + 1] == c;
            if (doubled) ++k;
            continue;
        }
        if (width == 0) {
            out += stem;
        } else {
            const std::string digits = std::to_string(position);
            if (digits.size() < size_t(width)) out.append(size_t(width) - digits.size(), '0');
            out += digits;
        }
        k += n - 1;
    }
    return out;
}

std::string CheckOutputName(const std::string& path, PathStyle style) {
    if (FormatOfPath(path, style) == ImageFormat::Unknown)
        return Quoted(path) + ": unknown picture format (name it .png, .bmp, .tif or .tiff)";
    const std::string device = ReservedDeviceName(path, style);
    if (!device.empty())
        return Quoted(path) + ": " + device + " is the name of a device, not of a file";
    return std::string();
}

std::string ReservedDeviceName(const std::string& path, PathStyle style) {
    if (style != PathStyle::Windows) return std::string();
    std::string base = path.substr(FileNameStart(path, style));
    base = base.substr(0, base.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = UpperAsciiCase(base);
    const bool numbered = base.size() == 4 && base[3] >= '1' && base[3] <= '9' &&
                          (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0);
    const bool named = base == "CON" || base == "PRN" || base == "AUX" || base == "NUL";
    return numbered || named ? base : std::string();
}

ImageFormat FormatOfPath(const std::string& path, PathStyle style) {
    const std::string ext = LowerExtension(path, style);
    if (ext == "png") return ImageFormat::Png;
    if (ext == "bmp") return ImageFormat::Bmp;
    if (ext == "tif" || ext == "tiff") return ImageFormat::Tiff;
    return ImageFormat::Unknown;
}

std::string OutputKey(const std::string& path, PathStyle style, const CaseFold& fold) {
    const size_t drive = DriveLength(path, style);
    std::string key = path.substr(0, drive);
    if (drive < path.size() && IsPathSeparator(path[drive], style)) key += '/';
    const size_t root = key.size();
    std::vector<size_t> starts;  // where each component of the key begins
    size_t k = drive;
    while (k < path.size()) {
        while (k < path.size() && IsPathSeparator(path[k], style)) ++k;
        const size_t begin = k;
        while (k < path.size() && !IsPathSeparator(path[k], style)) ++k;
        const std::string part = path.substr(begin, k - begin);
        if (part.empty() || part == ".") continue;
        if (part == ".." && !starts.empty() && key.compare(starts.back(), 3, "../") != 0) {
            key.resize(starts.back());
            starts.pop_back();
            continue;
        }
        starts.push_back(key.size());
        key += part + '/';
    }
    if (key.size() > root) key.pop_back();  // the separator after the last component
    return style == PathStyle::Windows ? fold(key) : key;
}

bool FindSharedOutput(const std::vector<std::string>& outputs, size_t& first, size_t& second,
                      PathStyle style, const CaseFold& fold) {
    std::unordered_map<std::string, size_t> seen;
    for (size_t k = 0; k < outputs.size(); ++k) {
        if (outputs[k].empty()) continue;
        const auto found = seen.emplace(OutputKey(outputs[k], style, fold), k);
        if (!found.second) {
            first = found.first->second;
            second = k;
            return true;
        }
    }
    return false;
}

std::string TemporaryOutputPath(const std::string& output, unsigned long process, unsigned k,
                                PathStyle style) {
    return FolderOf(output, style) + "~qx-" + std::to_string(process) + "-" + std::to_string(k) +
           ".tmp";
}

bool FileNameTooLong(const std::string& path, PathStyle style) {
    return path.size() - FileNameStart(path, style) > kLongestFileName;
}

bool FindOutputOfAnInput(const std::vector<std::string>& outputs,
                         const std::vector<std::vector<std::string>>& inputFiles,
                         const FileQueries& ask, size_t& output, size_t& input) {
    std::vector<std::optional<uint64_t>> sizes(outputs.size());  // of the outputs that exist
    std::set<uint64_t> outputSizes;
    for (size_t k = 0; k < outputs.size(); ++k) {
        if (!outputs[k].empty()) sizes[k] = ask.size(outputs[k]);
        if (sizes[k]) outputSizes.insert(*sizes[k]);
    }
    if (outputSizes.empty()) return false;
    std::map<FileIdentity, size_t> owners;  // input files of an output's size: their first input
    std::set<uint64_t> ownerSizes;
    for (size_t k = 0; k < inputFiles.size(); ++k)
        for (const std::string& file : inputFiles[k]) {
            const std::optional<uint64_t> size = ask.size(file);
            if (!size || outputSizes.count(*size) == 0) continue;
            if (const std::optional<FileIdentity> id = ask.identity(file)) {
                owners.emplace(*id, k);
                ownerSizes.insert(*size);
            }
        }
    for (size_t k = 0; k < outputs.size(); ++k) {
        if (!sizes[k] || ownerSizes.count(*sizes[k]) == 0) continue;
        const std::optional<FileIdentity> id = ask.identity(outputs[k]);
        const auto owner = id ? owners.find(*id) : owners.end();
        if (owner != owners.end()) {
            output = k;
            input = owner->second;
            return true;
        }
    }
    return false;
}

}  // namespace quorlane
