#pragma once
// Building a Windows command line from arguments, as text.
#include <string>

namespace quorlane {

// `argument` quoted for a Windows command line so that the program started
// with it reads it back unchanged: in double quotes, with the backslashes
// before a quote (and at the end) doubled and each quote escaped.
std::string QuoteArgument(const std::string& argument);

}  // namespace quorlane
