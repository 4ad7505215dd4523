// Quoting the arguments of another copy of the viewer: a path it would read back changed.
#include <gtest/gtest.h>

#include "viewer/rules/command_line.h"

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
}

}  // namespace

}  // namespace quorlane
