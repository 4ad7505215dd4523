#pragma once
// The natural order of file names, in which the steps of a run come: runs of
// digits compare by their value, whatever their length ("step_2" before
// "step_10", "t9.5" before "t10"), and so does a fraction after a whole
// number, as times are written ("t9" before "t9.25" before "t9.5"; version
// numbers such as "v1.10" therefore come before "v1.9"). The other
// characters compare by their UTF-8 bytes after the file system's case
// folding, and names that are still equal (in leading zeros or letter case
// alone) by their plain bytes, so that the order is total and the same on
// every run.
#include <cstddef>
#include <string>
#include <vector>

#include "common/paths.h"

namespace quorlane {

// Below zero when the folded name `a` comes before `b`, zero when they are
// equal in the natural order (their digit runs of equal value), else above
// zero. Both are already folded.
int CompareFoldedNaturally(const std::string& a, const std::string& b);

// Whether `a` comes before `b` in the natural order under `fold`.
bool NaturalLess(const std::string& a, const std::string& b, const CaseFold& fold = FoldAsciiCase);

// The positions of `names` in their natural order under `fold`: each name
// is folded once, so that long listings sort quickly.
std::vector<size_t> NaturalOrder(const std::vector<std::string>& names,
                                 const CaseFold& fold = FoldAsciiCase);

}  // namespace quorlane
