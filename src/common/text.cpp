// Quoting, and the case of the letters A to Z.
#include "common/text.h"

namespace quorlane {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string FoldAsciiCase(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) c = LowerAscii(c);
    return folded;
}

std::string UpperAsciiCase(const std::string& name) {
    std::string upper = name;
    for (char& c : upper) c = UpperAscii(c);
    return upper;
}

}  // namespace quorlane
