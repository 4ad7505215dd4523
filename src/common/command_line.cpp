// Quoting one argument for a Windows command line.
#include "common/command_line.h"

namespace quorlane {

std::string QuoteArgument(const std::string& argument) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

std::string WindowsCommandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string line = QuoteArgument(program);
    for (const std::string& a : args) line += " " + QuoteArgument(a);
    return line;
}

}  // namespace quorlane
