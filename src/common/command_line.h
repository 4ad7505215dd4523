#pragma once
// Building a Windows command line from arguments, as text.
#include <string>
#include <vector>

namespace quorlane {

// `argument` quoted for a Windows command line so that the program started
// with it reads it back unchanged: in double quotes, with the backslashes
// before a quote (and at the end) doubled and each quote escaped.
std::string QuoteArgument(const std::string& argument);

// A Windows command line of a program and its arguments, each quoted so that
// the program's C runtime reads it back unchanged.
std::string WindowsCommandLine(const std::string& program, const std::vector<std::string>& args);

}  // namespace quorlane
