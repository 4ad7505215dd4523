// The exporter's command line (its arguments and picture sizes) and output names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/paths.h"
#include "exporter/options/arguments.h"
#include "exporter/options/output_names.h"

namespace quorlane {

namespace {

const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;

// An argument list taken wrongly: options in both spellings, values that look like options, "--",
// --help winning over anything, and each usage error with the words that tell what is wrong.
TEST(ExportOptions, Arguments) {
    const char* const D = "{name}.png";
    const struct {
        std::vector<std::string> args;
        const char* flags;  // 'h' help, 'q' quiet, 'o' overwrite
        int width, height;  // 0 × 0: no --size
        const char* pattern;
        std::vector<std::string> paths;
    } usable[] = {
        {{"runs/42"}, "", 0, 0, D, {"runs/42"}},
        {{"--size", "64x48", "--out", "f/{n}.bmp", "a", "b"}, "", 64, 48, "f/{n}.bmp", {"a", "b"}},
        {{"a", "--size=7X3", "--out=x.tif", "b"}, "", 7, 3, "x.tif", {"a", "b"}},
        {{"--quiet", "a", "--overwrite"}, "qo", 0, 0, D, {"a"}},
        {{"--out", "--quiet", "a"}, "", 0, 0, "--quiet", {"a"}},
        {{"--", "--quiet", "-"}, "", 0, 0, D, {"--quiet", "-"}},
        {{"-", "a"}, "", 0, 0, D, {"-", "a"}},
        {{"--size", "1x1", "--size", "2x3", "a"}, "", 2, 3, D, {"a"}},
        {{"--bogus", "--help"}, "h", 0, 0, D, {}},
        {{"--size", "0x0", "-h"}, "h", 0, 0, D, {}},
        {{"/?"}, "h", 0, 0, D, {}},
        {{"--", "--help"}, "", 0, 0, D, {"--help"}},
        {{"--inputs", "list.txt"}, "", 0, 0, D, {}},
    };
    for (const auto& c : usable) {
        const std::string joined = testing::PrintToString(c.args);
        ExportOptions o;
        EXPECT_EQ(ParseExportArguments(c.args, o), "") << joined;
        const std::string flags =
            std::string(o.help ? "h" : "") + (o.quiet ? "q" : "") + (o.overwrite ? "o" : "");
        EXPECT_EQ(flags, c.flags) << joined;
        EXPECT_EQ(o.sizeGiven, c.width != 0) << joined;
        EXPECT_EQ(std::make_pair(o.width, o.height), std::make_pair(c.width, c.height)) << joined;
        EXPECT_EQ(o.pattern, c.pattern) << joined;
        EXPECT_EQ(o.paths, c.paths) << joined;
    }
    const struct {
        std::vector<std::string> args;
        const char* error;  // a part of the usage error
    } refused[] = {
        {{"--quiet"}, "no input"},
        {{"a", "--frobnicate"}, "unknown option \"--frobnicate\""},
        {{"-q", "a"}, "unknown option \"-q\""},
        {{"--sizes=1x1", "a"}, "unknown option"},
        {{"--overwrite=yes", "a"}, "unknown option"},
        {{"a", "--size"}, "--size needs a size"},
        {{"a", "--out"}, "--out needs a file name"},
        {{"--out=", "a"}, "--out needs a file name"},
        {{"--size", "0x0", "a"}, "at least 1"},
        {{"--size", "100000x100000", "a"}, "largest picture"},
        {{"--out", "{stem}.png", "a"}, "unknown field \"{stem}\""},
        {{"--out", "{n}{x}.png", "a"}, "unknown field \"{x}\""},
        {{"a", "--inputs"}, "--inputs needs a file"},
        {{"--inputs=", "a"}, "--inputs needs a file"},
    };
    for (const auto& c : refused) {
        ExportOptions o;
        const std::string error = ParseExportArguments(c.args, o);
        EXPECT_NE(error.find(c.error), std::string::npos)
            << testing::PrintToString(c.args) << " gave: " << error;
    }
}

// Sizes: signs, spaces, missing sides, other separators, huge numbers, the pixel limit's edge.
TEST(ExportOptions, PictureSizes) {
    const struct {
        const char* text;
        int width, height;
    } sizes[] = {
        {"1920x1080", 1920, 1080},   {"1X1", 1, 1},
        {"007x010", 7, 10},          {"16384x16384", 16384, 16384},
        {"67108863x4", 67108863, 4}, {"1x268435456", 1, 268435456},
    };
    for (const auto& c : sizes) {
        int w = -1, h = -1;
        EXPECT_EQ(ParsePictureSize(c.text, w, h), "") << c.text;
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.width, c.height)) << c.text;
    }
    const struct {
        const char* error;
        std::vector<std::string> texts;
    } refused[] = {
        {"largest", {"268435457x1", "16385x16384", "99999999999999999999999x1", "67108863x5"}},
        {"widest picture, 67108863 pixels", {"67108864x1", "134217728x1", "268435456x1"}},
        {"at least 1", {"0x5", "5x0"}},
        {"not WIDTHxHEIGHT",
         {"", "640", "640x", "x480", "640*480", "-640x480", "+640x480", "640x480 ", " 640x480",
          "640x480x2", "6.4x4"}},
    };
    for (const auto& c : refused)
        for (const std::string& text : c.texts) {
            int w, h;
            const std::string error = ParsePictureSize(text, w, h);
            EXPECT_NE(error.find(c.error), std::string::npos) << text << " gave: " << error;
            EXPECT_NE(error.find("\"" + text + "\""), std::string::npos) << error;
        }
}

// An output named wrongly: each field, padding narrower and wider than the position, braces written
// doubled, fields next to each other and text that only looks like a field.
TEST(ExportOptions, OutputPatterns) {
    const struct {
        const char* pattern;
        const char* stem;
        size_t position;
        const char* out;
    } cases[] = {
        {"{name}.png", "run42", 1, "run42.png"},
        {"frames/{n}.png", "x", 17, "frames/0017.png"},
        {"{n:6}.png", "x", 17, "000017.png"},
        {"{n:1}.png", "x", 17, "17.png"},
        {"{n:2}.png", "x", 12345, "12345.png"},
        {"{n}{name}{n:3}.bmp", "a", 5, "0005a005.bmp"},
        {"out/{name}/{name}.tif", "d\xC3\xA9j\xC3\xA0", 2,
         "out/d\xC3\xA9j\xC3\xA0/d\xC3\xA9j\xC3\xA0.tif"},
        {"{{name}}.png", "a", 1, "{name}.png"},
        {"{{{name}}}.png", "a", 1, "{a}.png"},
        {"a}b.png", "a", 1, "a}b.png"},
        {"a}}", "a", 1, "a}"},
        {"plain.png", "a", 9, "plain.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckOutputPattern(c.pattern), "") << c.pattern;
        EXPECT_EQ(ExpandOutputPattern(c.pattern, c.stem, c.position), c.out) << c.pattern;
    }
    for (const char* refused :
         {"{N}.png", "{n:0}.png", "{n:10}.png", "{n:}.png", "{name.png", "x{", "{ name}.png", ""})
        EXPECT_NE(CheckOutputPattern(refused), "") << refused;
}

// A picture written in the wrong format or into the wrong folder.
TEST(ExportOptions, FormatAndFolderOfAnOutput) {
    const struct {
        const char* path;
        PathStyle style;
        ImageFormat format;
        const char* folder;
    } cases[] = {
        {"a.png", W, ImageFormat::Png, ""},
        {"A.PNG", P, ImageFormat::Png, ""},
        {"out/x.Bmp", P, ImageFormat::Bmp, "out/"},
        {"C:\\out\\x.tif", W, ImageFormat::Tiff, "C:\\out\\"},
        {"C:x.TIFF", W, ImageFormat::Tiff, "C:"},
        {"/x.png", P, ImageFormat::Png, "/"},
        {"x.jpg", W, ImageFormat::Unknown, ""},
        {"x.png.gz", W, ImageFormat::Unknown, ""},
        {"x.pngx", W, ImageFormat::Unknown, ""},
        {"png", W, ImageFormat::Unknown, ""},
        {"out.png\\x", W, ImageFormat::Unknown, "out.png\\"},
        {"out.png\\x", P, ImageFormat::Unknown, ""},
        {"out/", P, ImageFormat::Unknown, "out/"},
        {"x.", W, ImageFormat::Unknown, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatOfPath(c.path, c.style), c.format) << c.path;
        EXPECT_EQ(FolderOf(c.path, c.style), c.folder) << c.path;
    }
}

// Outputs that name a device, and ones that only look like it, in each path style.
TEST(ExportOptions, OutputNames) {
    const struct {
        const char* path;
        PathStyle style;
        const char* error;  // a part of the usage error, or "" for none
    } cases[] = {
        {"a.png", W, ""},
        {"out/x.jpg", W, "\"out/x.jpg\": unknown picture format"},
        {"NUL.png", W, "\"NUL.png\": NUL is the name of a device"},
        {"out\\nul.PNG", W, "NUL is"},
        {"C:aux.tif", W, "AUX is"},
        {"x/Con .bmp", W, "CON is"},
        {"prn.x.png", W, "PRN is"},
        {"com1.png", W, "COM1 is"},
        {"LPT9.png", W, "LPT9 is"},
        {"nul.png", P, ""},
        {"com0.png", W, ""},
        {"com10.png", W, ""},
        {"lpt.png", W, ""},
        {"nul/x.png", W, ""},
        {"anul.png", W, ""},
        {"_con.png", W, ""},
    };
    for (const auto& c : cases) {
        const std::string error = CheckOutputName(c.path, c.style);
        EXPECT_EQ(error.empty(), *c.error == 0) << c.path << " gave: " << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.path << " gave: " << error;
    }
    for (const char* name : {"NUL", "nul ", "Nul.", "nul. .", "nul .txt. ", "nul..png"})
        EXPECT_EQ(ReservedDeviceName(name, W), "NUL") << name;
}

// Two outputs of one file taken for two, or two files taken for one, in each path style.
TEST(ExportOptions, SharedOutputs) {
    const struct {
        std::vector<std::string> outputs;
        PathStyle style;
        const char* shared;  // the first two positions that name one file
    } cases[] = {
        {{"a.png", "b.png", "c.png"}, W, "none"},
        {{"a.png", "b.png", "a.png"}, W, "0,2"},
        {{"x/A.png", "b.png", "X\\a.PNG"}, W, "0,2"},
        {{"x/A.png", "x/a.png"}, P, "none"},
        {{"x\\a.png", "x/a.png"}, P, "none"},
        {{"./out//a.png", "out/a.png"}, P, "0,1"},
        {{"out/sub/../a.png", "out/a.png"}, P, "0,1"},
        {{"../a.png", "a.png"}, P, "none"},
        {{"../../a.png", "../b/../../a.png"}, P, "0,1"},
        {{"/a.png", "a.png"}, P, "none"},
        {{"C:\\a.png", "c:/A.png"}, W, "0,1"},
        {{"C:a.png", "C:\\a.png"}, W, "none"},
        {{"", "a.png", "", "b.png"}, W, "none"},
        {{"a.png", "", "b.png", "B.png", "a.png"}, W, "2,3"},
        {{"\xC3\x89.png", "\xC3\xA9.png"}, W, "0,1"},
        {{"\xC3\x89.png", "\xC3\xA9.png"}, P, "none"},
        {{"d\xCE\xA9/x.png", "D\xCF\x89/X.png", "d\xCF\x89\\x.png"}, W, "0,1"},
        {{"\xC3\xA9.png", "e.png", "\xC3\x89.png"}, W, "0,2"},
    };
    // The file system's fold, for a few letters beyond ASCII: é É, ω Ω.
    const auto fold = [](std::string name) {
        for (auto [lower, upper] : {std::pair{"\xC3\xA9", "\xC3\x89"}, {"\xCF\x89", "\xCE\xA9"}})
            for (size_t k; (k = name.find(lower)) != std::string::npos;) name.replace(k, 2, upper);
        for (char& c : name) c = char(toupper(static_cast<unsigned char>(c)));
        return name;
    };
    for (const auto& c : cases) {
        size_t first = 0, second = 0;
        const bool shared = FindSharedOutput(c.outputs, first, second, c.style, fold);
        EXPECT_EQ(shared ? std::to_string(first) + "," + std::to_string(second) : "none", c.shared)
            << c.outputs[0] << " " << c.outputs[1];
    }
}

// Temporary files lie in the output's folder, named so that the longest outputs fit too.
TEST(ExportOptions, TemporaryNames) {
    const std::string longest(251, 'f');
    const struct {
        std::string output;
        PathStyle style;
        const char* temporary;
    } cases[] = {
        {"a.png", W, "~qx-42-7.tmp"},
        {"C:\\out/x.tif", W, "C:\\out/~qx-42-7.tmp"},
        {"C:x.png", W, "C:~qx-42-7.tmp"},
        {"out\\" + longest + ".png", P, "~qx-42-7.tmp"},
        {"/o/" + longest + ".png", P, "/o/~qx-42-7.tmp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TemporaryOutputPath(c.output, 42, 7, c.style), c.temporary) << c.output;
}

// Names a file system cannot hold: more than 255 bytes of UTF-8 in the file name (so never more
// than 255 UTF-16 units), whatever the folders before it.
TEST(ExportOptions, FileNamesTooLong) {
    const auto times = [](const char* text, size_t n) {
        std::string s;
        for (size_t k = 0; k < n; ++k) s += text;
        return s;
    };
    const struct {
        std::string path;
        PathStyle style;
        bool tooLong;
    } cases[] = {
        {times("f", 251) + ".png", W, false},
        {times("f", 252) + ".png", W, true},
        {times("d", 300) + "\\" + times("f", 251) + ".png", W, false},
        {times("d", 300) + "\\" + times("f", 252) + ".png", P, true},  // one name on Linux
        {times("\u6f22", 85), W, false},                               // 255 bytes
        {times("\u6f22", 90) + "_0001.png", W, true},                  // 279 bytes, 99 units
        {times("\U0001F600", 63) + "abc", W, false},                   // 255 bytes, 129 units
        {times("\U0001F600", 64), W, true},                            // 256 bytes
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileNameTooLong(c.path, c.style), c.tooLong) << c.path.size() << " bytes";
}

// An output that is an input's file, told by the file system's size and identity, not spelling.
TEST(ExportOptions, OutputsThatAreInputs) {
    const std::map<std::string, std::pair<uint64_t, FileIdentity>> disk = {
        {"grid.png", {100, {1, 7}}},  {"./GRID.png", {100, {1, 7}}}, {"link.png", {100, {1, 7}}},
        {"other.png", {100, {2, 7}}}, {"same.png", {100, {1, 8}}},   {"quorlane.ini", {40, {1, 9}}},
        {"ini.png", {40, {1, 9}}},    {"old.png", {55, {1, 10}}},
    };
    std::vector<std::string> asked;  // identities asked for
    const FileQueries ask = {
        [&](const std::string& path) -> std::optional<uint64_t> {
            if (!disk.count(path)) return std::nullopt;
            return disk.at(path).first;
        },
        [&](const std::string& path) -> std::optional<FileIdentity> {
            asked.push_back(path);
            if (!disk.count(path)) return std::nullopt;
            return disk.at(path).second;
        },
    };
    const std::vector<std::string> grid = {"grid.png", "quorlane.ini"};
    const struct {
        std::vector<std::string> outputs;
        std::vector<std::vector<std::string>> inputs;
        const char* found;  // "output,input", or "none"
        size_t identities;  // how many identities were asked for
    } cases[] = {
        {{"new.png", ""}, {grid, {}}, "none", 0},
        {{"old.png", "new.png"}, {grid, grid}, "none", 0},
        {{"./GRID.png"}, {grid}, "0,0", 2},
        {{"a.png", "link.png", "grid.png"}, {{}, {"a.dat", "quorlane.ini"}, grid}, "1,2", 2},
        {{"ini.png"}, {{"b.dat", "quorlane.ini"}}, "0,0", 2},
        {{"other.png", "same.png"}, {grid}, "none", 3},
        {{"", "old.png", "grid.png"}, {{}, {}, grid}, "2,2", 2},
    };
    for (const auto& c : cases) {
        asked.clear();
        size_t output = 0, input = 0;
        const bool found = FindOutputOfAnInput(c.outputs, c.inputs, ask, output, input);
        EXPECT_EQ(found ? std::to_string(output) + "," + std::to_string(input) : "none", c.found)
            << c.outputs[0];
        EXPECT_EQ(asked.size(), c.identities) << c.outputs[0];
    }
}

}  // namespace

}  // namespace quorlane
