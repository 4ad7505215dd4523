#pragma once
// Name patterns, as Windows programs expand them: '*' stands for any run of
// characters (none included) and '?' for exactly one character (one Unicode
// letter, however many UTF-8 bytes it takes), in the last component of a path
// only. Names are matched after the file system's case folding. Pure text:
// the caller lists the folder.
#include <string>

#include "common/paths.h"

namespace quorlane {

// Whether `text` holds '*' or '?'.
bool HasWildcard(const std::string& text);

// Whether a '*' or '?' stands in a folder component of `path` (before its
// last component), which is not supported. The "\\?\" that leads a long
// Windows path is no wildcard.
bool WildcardInFolder(const std::string& path, PathStyle style = kSystemPathStyle);

// Whether the folded name `name` matches the folded pattern `pattern`.
bool MatchesFoldedPattern(const std::string& name, const std::string& pattern);

// Whether `name` matches `pattern` under `fold`.
bool MatchesNamePattern(const std::string& name, const std::string& pattern,
                        const CaseFold& fold = FoldAsciiCase);

}  // namespace quorlane
