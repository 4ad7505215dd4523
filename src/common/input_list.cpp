// An input list read as its bytes come.
#include "common/input_list.h"

#include <cstring>

namespace quorlane {

namespace {

const char kTooLong[] = "longer than 32768 characters";
const char kByteOrderMark[] = "\xEF\xBB\xBF";

// The characters of UTF-8 text: the bytes that do not continue one.
size_t Utf8Characters(const std::string& text) {
    size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// Whether `text` is UTF-8: every character in its shortest form, none a
// surrogate or beyond U+10FFFF.
bool IsUtf8(const std::string& text) {
    for (size_t k = 0; k < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[k++]);
        if (c < 0x80) continue;
        // The continuation bytes a lead byte wants, and the range of the first
        // of them (narrower where the shortest form or the limits demand).
        size_t more = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        for (; more > 0; --more, low = 0x80, high = 0xBF) {
            if (k == text.size()) return false;
            const unsigned char next = static_cast<unsigned char>(text[k++]);
            if (next < low || next > high) return false;
        }
    }
    return true;
}

}  // namespace

std::string MoreThanTheMostInputs() {
    return "more than " + std::to_string(kMostInputs) + " inputs";
}

bool InputListReader::Take(const char* bytes, size_t count) {
    if (!error_.empty()) return false;
    for (const char* end = bytes + count; bytes < end;) {
        const char* stop = static_cast<const char*>(std::memchr(bytes, '\n', size_t(end - bytes)));
        const char* lineEnd = stop != nullptr ? stop : end;
        if (std::memchr(bytes, '\0', size_t(lineEnd - bytes)) != nullptr)
            return Refuse("holds a NUL byte");
        // Room for the longest line in UTF-8, a byte order mark and a carriage return.
        if (line_.size() + size_t(lineEnd - bytes) > 4 * kLongestListLine + 4)
            return Refuse(kTooLong);
        line_.append(bytes, lineEnd);
        bytes = lineEnd;
        if (stop == nullptr) break;
        ++bytes;
        if (!EndLine()) return false;
    }
    return true;
}

std::string InputListReader::End() {
    if (error_.empty() && !line_.empty()) EndLine();
    return error_;
}

bool InputListReader::Refuse(const std::string& what) {
    error_ = "line " + std::to_string(lineNumber_) + ": " + what;
    return false;
}

bool InputListReader::EndLine() {
    if (atStart_ && line_.compare(0, 3, kByteOrderMark) == 0) line_.erase(0, 3);
    atStart_ = false;
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    const bool blank = line_.find_first_not_of(" \t") == std::string::npos;
    const bool comment = !blank && line_[0] == '#';
    if (Utf8Characters(line_) > kLongestListLine) return Refuse(kTooLong);
    if (!blank && !comment) {
        if (!IsUtf8(line_)) return Refuse("not UTF-8");
        if (paths_.size() >= kMostInputs) return Refuse(MoreThanTheMostInputs());
        paths_.push_back(line_);
    }
    line_.clear();
    ++lineNumber_;
    return true;
}

}  // namespace quorlane
