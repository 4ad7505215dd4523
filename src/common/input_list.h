#pragma once
// The input lists of both programs (--inputs FILE): one path a line, read as
// the list's bytes come, so that a list that never ends (a device, a pipe)
// is refused at its first bad line instead of filling the memory.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quorlane {

// The longest line of an input list, in characters: the longest path the
// system takes. And the most inputs a run takes, lists and command line
// together. Either bounds the memory a list can take (a list may be a
// device or a pipe that never ends).
constexpr size_t kLongestListLine = 32768;
constexpr size_t kMostInputs = 1000000;

// The paths of an input list, read as its bytes come: one a line, UTF-8 with
// or without a byte order mark, lines ended by LF or CR LF; blank lines and
// lines that start with '#' are skipped. A list is refused at its first
// line that is not UTF-8 (comments aside), holds a NUL byte or is longer
// than kLongestListLine, or when the inputs would be more than kMostInputs.
class InputListReader {
  public:
    // Appends the list's paths to `paths`, which may hold others already.
    explicit InputListReader(std::vector<std::string>& paths) : paths_(paths) {}

    // The next `count` bytes of the list; false once it is refused.
    bool Take(const char* bytes, size_t count);
    // The list has ended. The empty string, or why it is refused:
    // "line N: WHAT".
    std::string End();

  private:
    bool Refuse(const std::string& what);
    bool EndLine();

    std::vector<std::string>& paths_;
    std::string line_;  // the bytes of the line so far
    size_t lineNumber_ = 1;
    bool atStart_ = true;  // nothing of the list taken yet (a byte order mark may come)
    std::string error_;
};

// The refusal of more inputs than kMostInputs.
std::string MoreThanTheMostInputs();

// Hands the next bytes of a list to its reader; false once it is refused.
using TakeBytes = std::function<bool(const char* bytes, size_t count)>;

}  // namespace quorlane
