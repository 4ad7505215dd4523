// Keys, the wheel, step numbers and the title of a series window.
#include "viewer/rules/series_navigation.h"

#include <algorithm>

#include "viewer/rules/window_title.h"

namespace quorlane {

size_t PageStride(size_t count) {
    return std::max<size_t>(1, count / 10);
}

size_t StepAfterKey(SeriesKey key, size_t at, size_t count) {
    const size_t last = count - 1, page = PageStride(count);
    switch (key) {
    case SeriesKey::Next:
        return std::min(at + 1, last);
    case SeriesKey::Previous:
        return at == 0 ? 0 : at - 1;
    case SeriesKey::First:
        return 0;
    case SeriesKey::Last:
        return last;
    case SeriesKey::PageForward:
        return last - at < page ? last : at + page;
    case SeriesKey::PageBack:
        return at < page ? 0 : at - page;
    case SeriesKey::PlayOrPause:
        break;
    }
    return at;
}

int WheelNotches(int& pending, int delta, int notch) {
    // In long arithmetic: a sum of two deltas may leave the int range.
    const long long sum = static_cast<long long>(pending) + delta;
    const long long notches = sum / notch;
    pending = int(sum - notches * notch);
    return int(notches);
}

std::string ParseStepNumber(const std::string& text, size_t count, size_t& index) {
    std::string told = "Give a step number from 1 to " + std::to_string(count) + ".";
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) return told;
    const size_t end = text.find_last_not_of(" \t") + 1;
    size_t n = 0;
    for (size_t k = start; k < end; ++k) {
        const char c = text[k];
        if (c < '0' || c > '9') return told;
        if (n > count) continue;  // too large already: no overflow
        n = n * 10 + size_t(c - '0');
    }
    if (n < 1 || n > count) return told;
    index = n - 1;
    return std::string();
}

std::string SeriesTitle(const InputFiles& step, size_t index, size_t count, bool playing,
                        const std::string& failure) {
    InputFiles named = step;
    named.name += " (" + std::to_string(index + 1) + "/" + std::to_string(count) + ")";
    std::string title = WindowTitle(named);
    if (playing) title += " (playing)";
    if (!failure.empty()) title += " (not shown: " + failure + ")";
    return title;
}

}  // namespace quorlane
