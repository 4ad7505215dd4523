// The exporter's command line, its output names and its progress lines.
#include "export/export_options.h"

#include <algorithm>
#include <unordered_map>

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The option's value: the rest of "--opt=VALUE", or the next argument.
bool OptionValue(const std::vector<std::string>& args, size_t& k, const std::string& name,
                 std::string& value) {
    const std::string& arg = args[k];
    if (arg.size() > name.size() && arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (k + 1 >= args.size()) return false;
    value = args[++k];
    return true;
}

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

std::string ParsePictureSize(const std::string& text, int& width, int& height) {
    long long sides[2] = {0, 0};
    size_t k = 0;
    for (int s = 0; s < 2; ++s) {
        const size_t start = k;
        for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k)
            sides[s] = std::min(sides[s] * 10 + (text[k] - '0'), kLargestPicturePixels + 1);
        const bool digits = k > start;
        const bool closed =
            s == 0 ? k < text.size() && (text[k] == 'x' || text[k] == 'X') : k == text.size();
        if (!digits || !closed) return "--size " + Quoted(text) + " is not WIDTHxHEIGHT";
        ++k;
    }
    if (sides[0] < 1 || sides[1] < 1)
        return "--size " + Quoted(text) + ": the width and the height must be at least 1";
    if (sides[0] > kLargestPicturePixels / sides[1])
        return "--size " + Quoted(text) + ": larger than the largest picture, " +
               std::to_string(kLargestPicturePixels) + " pixels (16384x16384)";
    width = int(sides[0]);
    height = int(sides[1]);
    return std::string();
}

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

ImageFormat FormatOfPath(const std::string& path, PathStyle style) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < FileNameStart(path, style)) return ImageFormat::Unknown;
    std::string ext;
    for (size_t k = dot + 1; k < path.size(); ++k) ext += Lower(path[k]);
    if (ext == "png") return ImageFormat::Png;
    if (ext == "bmp") return ImageFormat::Bmp;
    if (ext == "tif" || ext == "tiff") return ImageFormat::Tiff;
    return ImageFormat::Unknown;
}

std::string OutputFolder(const std::string& path, PathStyle style) {
    const size_t start = FileNameStart(path, style);
    return start == 0 ? std::string(".") : path.substr(0, start);
}

std::string OutputKey(const std::string& path, PathStyle style) {
    const size_t drive = DriveLength(path, style);
    std::string key;
    for (size_t k = 0; k < drive; ++k) key += Lower(path[k]);
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
        for (char c : part) key += style == PathStyle::Windows ? Lower(c) : c;
        key += '/';
    }
    if (key.size() > root) key.pop_back();  // the separator after the last component
    return key;
}

bool FindSharedOutput(const std::vector<std::string>& outputs, size_t& first, size_t& second,
                      PathStyle style) {
    std::unordered_map<std::string, size_t> seen;
    for (size_t k = 0; k < outputs.size(); ++k) {
        if (outputs[k].empty()) continue;
        const auto found = seen.emplace(OutputKey(outputs[k], style), k);
        if (!found.second) {
            first = found.first->second;
            second = k;
            return true;
        }
    }
    return false;
}

std::string ParseExportArguments(const std::vector<std::string>& args, ExportOptions& options) {
    options = ExportOptions();
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            options.help = true;
            return std::string();
        }
    }
    bool optionsEnd = false;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& arg = args[k];
        const bool option = !optionsEnd && arg.size() > 1 && arg[0] == '-';
        const auto is = [&](const char* name) {
            const size_t n = std::char_traits<char>::length(name);
            return arg.compare(0, n, name) == 0 && (arg.size() == n || arg[n] == '=');
        };
        std::string value;
        if (!option) {
            options.paths.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--overwrite") {
            options.overwrite = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (is("--size")) {
            if (!OptionValue(args, k, "--size", value)) return "--size needs a size WIDTHxHEIGHT";
            const std::string error = ParsePictureSize(value, options.width, options.height);
            if (!error.empty()) return error;
            options.sizeGiven = true;
        } else if (is("--out")) {
            if (!OptionValue(args, k, "--out", value)) return "--out needs a file name";
            const std::string error = CheckOutputPattern(value);
            if (!error.empty()) return error;
            options.pattern = value;
        } else {
            return "unknown option " + Quoted(arg);
        }
    }
    if (options.paths.empty()) return "no input: name a folder or a grid file";
    return std::string();
}

std::string ExportUsage() {
    return "Usage: quorlane-export [options] PATH...\n"
           "Writes the picture the Quorlane window shows for each PATH (a folder that holds\n"
           "quorlane.dat and quorlane.ini, or a grid file with quorlane.ini beside it) to an\n"
           "image file, texts included.\n"
           "\n"
           "Options:\n"
           "  --size WxH       the window's client size in pixels (default: the client\n"
           "                   area of the window size in the input's settings)\n"
           "  --out PATTERN    the output file (default {name}.png): {name} is the folder's\n"
           "                   name or the grid file's name without its extension, {n} the\n"
           "                   input's position (0001, 0002, ...), {n:K} padded to K digits;\n"
           "                   the extension chooses the format: .png, .bmp, .tif or .tiff\n"
           "  --overwrite      replace output files that exist (else they are left alone\n"
           "                   and their inputs fail)\n"
           "  --quiet          no progress lines\n"
           "  --help           this text\n"
           "\n"
           "Exit status: 0 when every picture was written, 1 when any input failed,\n"
           "2 for a usage error.\n";
}

std::string ProgressLine(size_t done, size_t total, const std::string& input,
                         const std::string& output, int width, int height) {
    std::string line;
    if (total > 1) line = "[" + std::to_string(done) + "/" + std::to_string(total) + "] ";
    return line + input + " -> " + output + " (" + std::to_string(width) + " x " +
           std::to_string(height) + ")";
}
