// The exporter's command line, its usage text and its progress lines.
#include "exporter/options/arguments.h"

#include <algorithm>
#include <cstring>

#include "common/input_list.h"
#include "common/names.h"
#include "common/text.h"
#include "exporter/options/output_names.h"

namespace quorlane {

namespace {

const char kNoInput[] = "no input: name a folder or a grid file";
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

// A whole number from `low` to `high` in decimal digits.
bool WholeNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int n = std::stoi(text);
    if (n < low || n > high) return false;
    value = n;
    return true;
}

// What a movie or a picture stream takes and the other options do not; the
// empty string when the options agree.
std::string CheckOutputKind(ExportOptions& options, bool fps, bool quality, bool format) {
    options.toStandardOutput = options.pattern == "-";
    options.movie = MovieFormatOfPath(options.pattern);
    if (options.movie != MovieFormat::None) {
        if (ExpandOutputPattern(options.pattern, "a", 1) !=
            ExpandOutputPattern(options.pattern, "b", 2))
            return "--out " + Quoted(options.pattern) +
                   ": a movie is one file, its name takes no " + "{name} or {n}";
        options.pattern = ExpandOutputPattern(options.pattern, "", 1);
        const int highest = HighestQuality(options.movie);
        if (options.quality > highest)
            return "--quality " + std::to_string(options.quality) + ": at most " +
                   std::to_string(highest) + " for this format";
        if (options.quality < 0) options.quality = DefaultQuality(options.movie);
    } else if (fps || quality || !options.ffmpeg.empty()) {
        return std::string(fps       ? "--fps"
                           : quality ? "--quality"
                                     : "--ffmpeg") +
               " is for a movie (--out NAME.mp4 or NAME.webm)";
    }
    if (format && !options.toStandardOutput)
        return "--format is for pictures on standard output (--out -)";
    return std::string();
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
    if (sides[0] > kWidestPicture)
        return "--size " + Quoted(text) + ": wider than the widest picture, " +
               std::to_string(kWidestPicture) + " pixels";
    width = int(sides[0]);
    height = int(sides[1]);
    return std::string();
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
    bool optionsEnd = false, fps = false, quality = false, format = false;
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
            std::string error = ParsePictureSize(value, options.width, options.height);
            if (!error.empty()) return error;
            options.sizeGiven = true;
        } else if (is("--out")) {
            if (!OptionValue(args, k, "--out", value)) return "--out needs a file name";
            std::string error = CheckOutputPattern(value);
            if (!error.empty()) return error;
            options.pattern = value;
        } else if (is("--inputs")) {
            if (!OptionValue(args, k, "--inputs", value) || value.empty())
                return "--inputs needs a file that lists inputs (- for standard input)";
            options.lists.push_back({value, options.paths.size()});
        } else if (is("--fps")) {
            if (!OptionValue(args, k, "--fps", value) ||
                !WholeNumber(value, 1, kHighestFps, options.fps))
                return "--fps needs frames a second, 1 to " + std::to_string(kHighestFps);
            fps = true;
        } else if (is("--quality")) {
            if (!OptionValue(args, k, "--quality", value) ||
                !WholeNumber(value, 0, 63, options.quality))
                return "--quality needs the encoder's constant quality, a whole number from 0";
            quality = true;
        } else if (is("--ffmpeg")) {
            if (!OptionValue(args, k, "--ffmpeg", value) || value.empty())
                return "--ffmpeg needs the path of ffmpeg.exe";
            options.ffmpeg = value;
        } else if (is("--format")) {
            if (!OptionValue(args, k, "--format", value)) return "--format needs png or bmp";
            const std::string name = FoldAsciiCase(value);
            if (name != FoldAsciiCase("png") && name != FoldAsciiCase("bmp"))
                return "--format " + Quoted(value) + ": png or bmp";
            options.streamFormat =
                name == FoldAsciiCase("png") ? ImageFormat::Png : ImageFormat::Bmp;
            format = true;
        } else {
            return "unknown option " + Quoted(arg);
        }
    }
    std::string kind = CheckOutputKind(options, fps, quality, format);
    if (!kind.empty()) return kind;
    if (options.paths.empty() && options.lists.empty()) return kNoInput;
    return std::string();
}

std::string ReadInputLists(ExportOptions& options, const ReadInputList& read) {
    std::vector<std::string> paths;
    size_t given = 0;  // the command line's paths taken so far
    for (const ExportOptions::InputList& list : options.lists) {
        paths.insert(paths.end(), options.paths.begin() + ptrdiff_t(given),
                     options.paths.begin() + ptrdiff_t(list.at));
        given = list.at;
        InputListReader reader(paths);
        const bool readable =
            read(list.file, [&](const char* bytes, size_t n) { return reader.Take(bytes, n); });
        const std::string refused = reader.End();
        if (!refused.empty())
            return (list.file == "-" ? "standard input" : list.file) + ", " + refused;
        if (!readable) return "--inputs " + Quoted(list.file) + ": cannot be read";
    }
    paths.insert(paths.end(), options.paths.begin() + ptrdiff_t(given), options.paths.end());
    if (paths.size() > kMostInputs) return MoreThanTheMostInputs();
    options.paths = std::move(paths);
    options.lists.clear();
    return options.paths.empty() ? kNoInput : std::string();
}

std::string ExportUsage() {
    const std::string grid = kGridFileName, settings = kSettingsFileName;
    return std::string("Usage: ") + kExporterCommand + " [options] PATH...\n" +
           "Writes the picture the " + kProgramName +
           " window shows for each PATH (a folder that holds\n" + grid + " and " + settings +
           ", or a grid file with " + settings +
           " beside it) to an\n"
           "image file, texts included. An output file may not be one of the input files.\n"
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
           "  --inputs FILE    more PATHs, one a line (- reads them from standard input;\n"
           "                   blank lines and lines that start with # are skipped),\n"
           "                   numbered where the option stands among the PATHs\n"
           "  --quiet          no progress lines\n"
           "  --help           this text\n"
           "\n"
           "A PATH whose last part holds * or ? stands for the grid files and folders it\n"
           "matches, and a folder without " +
           grid +
           " for its *.dat files, each in\n"
           "the natural order of their names (step_2 before step_10).\n"
           "\n"
           "Movies: --out NAME.mp4 (H.264) or NAME.webm (VP9) writes one movie, one frame\n"
           "for each input, through ffmpeg (beside " +
           kExporterCommand +
           ".exe, on the PATH,\n"
           "or --ffmpeg PATH). --fps N frames a second (default 25); --quality Q the\n"
           "encoder's constant quality, lower is better (default " +
           std::to_string(kDefaultMp4Quality) + " for MP4, " + std::to_string(kDefaultWebmQuality) +
           " for WebM).\n"
           "--out - writes the pictures one after another to standard output, in\n"
           "--format png (default) or bmp, and the progress lines to standard error.\n"
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

}  // namespace quorlane
