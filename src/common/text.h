#pragma once
// The small text rules every folder shares: a name quoted in a report, and
// the case of the letters A to Z.
#include <string>

namespace quorlane {

// `text` in double quotes, as reports name a file or a value: "runs/42".
std::string Quoted(const std::string& text);

// The letters A to Z in lower case (LowerAscii) or a to z in upper case
// (UpperAscii); every other byte as it is.
inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}
inline char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// A name with the letters A to Z in lower case, the others as they are: the
// file system's comparison of names, as far as it is the same everywhere.
std::string FoldAsciiCase(const std::string& name);
// A name with the letters a to z in upper case, the others as they are.
std::string UpperAsciiCase(const std::string& name);

}  // namespace quorlane
