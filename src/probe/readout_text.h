#pragma once
// The readout's texts: the status bar's parts, numbers rounded for the eye,
// and the line Ctrl+C copies, numbers with the nine significant digits that
// give a float back exactly.
#include <cstdint>
#include <string>

#include "probe/field_range.h"
#include "probe/readout.h"

namespace quorlane {

enum class Digits {
    kScreen,  // four significant digits ("%.4g"), counts with thousands separators
    kExact,   // nine significant digits ("%.9g"), counts plain
};

// A float in the given digits: "-3.07", "112.5", "1.234e+05"; "nan", "inf".
std::string NumberText(float v, Digits digits);
// A count, "1,204" on the screen, "1204" in the copy.
std::string CountText(uint64_t n, Digits digits);

// The pixel's part: "x 12.5  y 3.25  value 4.72  cell (3, 2) 4.5" over the
// field, "scale 4.72" over the band, empty elsewhere.
std::string PixelText(const PixelReading& reading, Digits digits);
// "min -3.07 (12, 40)  max 112.5 (7, 9)", or "no sample is a number".
std::string RangeText(const FieldRange& range, Digits digits);
// "1,204 above the scale", "3 below and 12 above the scale", or "all within the scale".
std::string OutsideText(const FieldRange& range, Digits digits);

// The copied line: the three parts in exact digits, joined by two spaces,
// an empty pixel part left out.
std::string ReadoutLine(const PixelReading& reading, const FieldRange& range);

}  // namespace quorlane
