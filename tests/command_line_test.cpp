// Quoting the arguments of a program started by another (a copy of the viewer, ffmpeg): an
// argument it would read back changed.
#include <gtest/gtest.h>

#include "common/command_line.h"

namespace quorlane {

namespace {

// Paths for a second copy: spaces, a closing backslash (a drive's root), backslashes before quotes.
TEST(CommandLine, QuotedForAnotherCopy) {
    const struct {
        const char *argument, *quoted;
    } cases[] = {
        {"run42", "\"run42\""}, {"C:\\runs\\run 42", "\"C:\\runs\\run 42\""},
        {"D:\\", "\"D:\\\\\""}, {"a\\\\b\\\"c", "\"a\\\\b\\\\\\\"c\""},
        {"", "\"\""},
    };
    for (const auto& c : cases) EXPECT_EQ(QuoteArgument(c.argument), c.quoted) << c.argument;
    // A program and its arguments, as ffmpeg is started.
    EXPECT_EQ(WindowsCommandLine("C:\\ff mpeg\\ffmpeg.exe", {"-i", "-", "a \"b\"\\", "c\\d"}),
              "\"C:\\ff mpeg\\ffmpeg.exe\" \"-i\" \"-\" \"a \\\"b\\\"\\\\\" \"c\\d\"");
}

}  // namespace

}  // namespace quorlane
