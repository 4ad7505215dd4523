// Name patterns with '*' and '?'.
#include "common/name_pattern.h"

namespace quorlane {

namespace {

// The bytes of the UTF-8 character at `k` (a stray byte counts as one).
size_t CharacterLength(const std::string& s, size_t k) {
    const unsigned char lead = static_cast<unsigned char>(s[k]);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    for (size_t n = 1; n < length; ++n)
        if (k + n >= s.size() || (static_cast<unsigned char>(s[k + n]) & 0xC0) != 0x80) return n;
    return length;
}

}  // namespace

bool HasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

bool WildcardInFolder(const std::string& path, PathStyle style) {
    size_t start = 0;
    if (style == PathStyle::Windows && path.compare(0, 4, "\\\\?\\") == 0) start = 4;
    // The folder part ends where the last component starts; separators at the
    // end of the path belong to the last component.
    size_t end = path.size();
    while (end > start && IsPathSeparator(path[end - 1], style)) --end;
    while (end > start && !IsPathSeparator(path[end - 1], style)) --end;
    return path.substr(start, end - start).find_first_of("*?") != std::string::npos;
}

bool MatchesFoldedPattern(const std::string& name, const std::string& pattern) {
    // One pass with a return to the last '*': every later '*' can only match
    // more, so the work stays at most the name's length times the pattern's.
    size_t p = 0, n = 0;
    size_t star = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharacterLength(name, n);
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (star != std::string::npos) {
            p = star + 1;
            starName += CharacterLength(name, starName);
            n = starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool MatchesNamePattern(const std::string& name, const std::string& pattern, const CaseFold& fold) {
    return MatchesFoldedPattern(fold(name), fold(pattern));
}

}  // namespace quorlane
