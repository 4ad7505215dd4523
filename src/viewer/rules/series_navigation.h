#pragma once
// Moving through a series by keys, the wheel and a step number, and the
// title that names the step shown. Steps are counted from 0 here and from
// 1 for the user.
#include <cstddef>
#include <string>

#include "data/inputs.h"

namespace quorlane {

// What a key asks of a series window. The wheel's notches are Next (towards
// the user) and Previous (away from the user).
enum class SeriesKey {
    Next,         // Right
    Previous,     // Left
    First,        // Home
    Last,         // End
    PageForward,  // Page Down
    PageBack,     // Page Up
    PlayOrPause,  // Space
};

// A tenth of the series, at least one step.
size_t PageStride(size_t count);

// The step that a moving key leads to from step `at` of `count` (> 0): the
// ends are never passed (only playing goes round). PlayOrPause stays.
size_t StepAfterKey(SeriesKey key, size_t at, size_t count);

// How many whole notches the wheel turned: `delta` in the system's units of
// `notch` each (120 on Windows) added to what `pending` holds from finer
// wheels; the remainder stays in `pending`. Positive: away from the user.
int WheelNotches(int& pending, int delta, int notch = 120);

// Reads a step number the user typed (1 to `count`, spaces around it
// allowed) into the step `index`. The empty string, or what to tell the user.
std::string ParseStepNumber(const std::string& text, size_t count, size_t& index);

// The title of a series window showing step `index` of `count`:
// "step_0017.dat (17/240) - Quorlane", " (playing)" while it plays, and
// " (not shown: REASON)" when that step cannot be read and the picture is an
// earlier step's.
std::string SeriesTitle(const InputFiles& step, size_t index, size_t count, bool playing,
                        const std::string& failure);

}  // namespace quorlane
