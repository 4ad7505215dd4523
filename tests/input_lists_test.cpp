// The exporter's input lists (--inputs): InputListReader and ReadInputLists.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "common/input_list.h"
#include "exporter/options/arguments.h"

namespace quorlane {

namespace {

using namespace std::string_literals;

// An input list read through a reader, `chunk` bytes at a time: its paths, or why it is refused.
std::string ReadList(const std::string& text, size_t chunk, std::vector<std::string>& paths) {
    InputListReader reader(paths);
    for (size_t k = 0; k < text.size(); k += chunk)
        if (!reader.Take(text.data() + k, std::min(chunk, text.size() - k))) break;
    return reader.End();
}

// A list read wrongly: a byte order mark, CR LF, blank and comment lines, a last line without its
// line feed, spaces kept inside paths, whatever the pieces its bytes come in.
TEST(InputLists, Read) {
    const struct {
        std::string text;
        std::vector<std::string> paths;
    } lists[] = {
        {"", {}},
        {"a\nb\n", {"a", "b"}},
        {"\xEF\xBB\xBF"
         "a\r\n\r\n# b\r\n \t\r\nrun 7/c.dat\r\nd",
         {"a", "run 7/c.dat", "d"}},
        {"\xEF\xBB\xBF#a\n #b\n\xC3\xA9\n", {" #b", "\xC3\xA9"}},
        {"a\r\r\nb", {"a\r", "b"}},
        {"# a comment in Latin-1: \xE9t\xE9\n\xF0\x9F\x98\x80\n\xEF\xBF\xBD",
         {"\xF0\x9F\x98\x80", "\xEF\xBF\xBD"}},
        {std::string(32768, 'a') + "\r\n", {std::string(32768, 'a')}},
        // the first and last letters of each length: U+0080, U+07FF, U+0800, U+D7FF, U+10000,
        // U+10FFFF
        {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\n",
         {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"}},
    };
    for (const auto& c : lists)
        for (size_t chunk : {size_t(1), size_t(3), c.text.size() + 1}) {
            std::vector<std::string> paths;
            EXPECT_EQ(ReadList(c.text, chunk, paths), "") << c.text.substr(0, 40);
            EXPECT_EQ(paths, c.paths) << c.text.substr(0, 40) << " in pieces of " << chunk;
        }
}

// A list that is not what the exporter can take: refused at the line that shows it, before any
// input; a list that never ends is refused within a bounded number of bytes.
TEST(InputLists, Refused) {
    const std::string longest(32768, 'a'), longestWide = [] {
        std::string s;
        for (int k = 0; k < 32768; ++k) s += "\xE2\x82\xAC";  // the euro sign: 3 bytes
        return s;
    }();
    const struct {
        std::string text, error;
    } lists[] = {
        {"a\n\xE9t\xE9\n", "line 2: not UTF-8"},  // Latin-1
        {"\xFF\xFE"
         "a\n",
         "line 1: not UTF-8"},
        {"ok\n\xC3\x28", "line 2: not UTF-8"},
        {"\xC0\xAF", "line 1: not UTF-8"},          // "/" in two bytes
        {"\xE0\x80\xAF", "line 1: not UTF-8"},      // and in three
        {"\xED\xA0\x80", "line 1: not UTF-8"},      // a surrogate
        {"\xF4\x90\x80\x80", "line 1: not UTF-8"},  // beyond U+10FFFF
        {"a\xE2\x82\n", "line 1: not UTF-8"},       // cut short by the line's end
        {"\xE2\x82", "line 1: not UTF-8"},          // and by the list's
        {"a/quorlane.dat\0.x\n"s, "line 1: holds a NUL byte"},
        {"a\n\n# c\n \nx\0junk"s, "line 5: holds a NUL byte"},
        {"# \0"s, "line 1: holds a NUL byte"},
        {"a\n" + longest + "b\n", "line 2: longer than 32768 characters"},
        {longest + "b\n\xFF\n", "line 1: longer than 32768 characters"},  // the first refusal
        {longestWide + "\r\n" + longestWide + "\xE2\x82\xAC",
         "line 2: longer than 32768 characters"},
    };
    for (const auto& c : lists)
        for (size_t chunk : {size_t(1), size_t(4096), c.text.size() + 1}) {
            std::vector<std::string> paths;
            EXPECT_EQ(ReadList(c.text, chunk, paths), c.error) << c.text.substr(0, 40);
        }

    // Endless: zeros (a device), one line without end, and short lines (yes | ...).
    const struct {
        std::string chunk, error;
        size_t most;  // the bytes taken at most before the refusal
    } endless[] = {
        {std::string(65536, '\0'), "line 1: holds a NUL byte", 65536},
        {std::string(65536, 'y'), "line 1: longer than 32768 characters", 4 * 32768 + 65536},
        {std::string(65536, '\x80'), "line 1: longer than 32768 characters", 4 * 32768 + 65536},
        {"y\n", "line 1000001: more than 1000000 inputs", 2 * (kMostInputs + 1)},
    };
    for (const auto& c : endless) {
        std::vector<std::string> paths;
        InputListReader reader(paths);
        size_t taken = 0;
        while (taken <= c.most && reader.Take(c.chunk.data(), c.chunk.size()))
            taken += c.chunk.size();
        EXPECT_LE(taken, c.most) << c.error;
        EXPECT_FALSE(reader.Take("y\n", 2)) << "taken after its refusal";
        EXPECT_EQ(reader.End(), c.error);
        EXPECT_LE(paths.size(), kMostInputs);
    }
}

// Lists numbered out of their place among the paths, and their reports named after the list.
TEST(InputLists, AmongPaths) {
    const std::map<std::string, std::string> files = {
        {"l1", "x\ny\n"}, {"-", "z"}, {"none", "#\n"}, {"steps.txt", "a\n\xE9t\xE9\n"}};
    const auto read = [&](const std::string& file, const TakeBytes& take) {
        const auto found = files.find(file);
        if (found != files.end()) take(found->second.data(), found->second.size());
        return found != files.end();
    };
    const struct {
        std::vector<std::string> args;
        const char* result;  // the paths joined with spaces, or the usage error
    } runs[] = {
        {{"a", "--inputs", "l1", "b", "--inputs=-", "c"}, "a x y b z c"},
        {{"--inputs", "l1", "--inputs", "l1", "a"}, "x y x y a"},
        {{"a", "b", "--inputs", "none"}, "a b"},
        {{"--inputs", "none"}, "no input: name a folder or a grid file"},
        {{"a", "--inputs", "nope.txt"}, "--inputs \"nope.txt\": cannot be read"},
        {{"--inputs", "l1", "--inputs", "steps.txt"}, "steps.txt, line 2: not UTF-8"},
        {{"--inputs", "-"}, "z"},
    };
    for (const auto& c : runs) {
        ExportOptions o;
        ASSERT_EQ(ParseExportArguments(c.args, o), "");
        const std::string error = ReadInputLists(o, read);
        std::string paths;
        for (const std::string& path : o.paths) paths += (paths.empty() ? "" : " ") + path;
        EXPECT_EQ(error.empty() ? paths : error, c.result);
    }
    ExportOptions o;
    ASSERT_EQ(ParseExportArguments({"--inputs", "-"}, o), "");
    EXPECT_EQ(ReadInputLists(o, [](const std::string&,
                                   const TakeBytes& take) { return take("\0", 1) || true; }),
              "standard input, line 1: holds a NUL byte");
}

}  // namespace

}  // namespace quorlane
