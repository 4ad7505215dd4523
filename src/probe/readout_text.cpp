// The readout's texts.
#include "probe/readout_text.h"

#include <cstdio>

namespace quorlane {

std::string NumberText(float v, Digits digits) {
    char text[32];
    std::snprintf(text, sizeof text, digits == Digits::kExact ? "%.9g" : "%.4g", double(v));
    return text;
}

std::string CountText(uint64_t n, Digits digits) {
    std::string plain = std::to_string(n);
    if (digits == Digits::kExact) return plain;
    std::string grouped;
    for (size_t k = 0; k < plain.size(); ++k) {
        if (k > 0 && (plain.size() - k) % 3 == 0) grouped += ',';
        grouped += plain[k];
    }
    return grouped;
}

namespace {

std::string CellText(uint32_t column, uint32_t row) {
    return "(" + std::to_string(column) + ", " + std::to_string(row) + ")";
}

}  // namespace

std::string PixelText(const PixelReading& r, Digits digits) {
    switch (r.place) {
    case PixelPlace::kField:
        return "x " + NumberText(r.x, digits) + "  y " + NumberText(r.y, digits) + "  value " +
               NumberText(r.value, digits) + "  cell " + CellText(r.column, r.row) + " " +
               NumberText(r.sample, digits);
    case PixelPlace::kBand:
        return "scale " + NumberText(r.value, digits);
    case PixelPlace::kElsewhere:
        break;
    }
    return std::string();
}

std::string RangeText(const FieldRange& range, Digits digits) {
    if (!range.any) return "no sample is a number";
    return "min " + NumberText(range.min, digits) + " " + CellText(range.minColumn, range.minRow) +
           "  max " + NumberText(range.max, digits) + " " + CellText(range.maxColumn, range.maxRow);
}

std::string OutsideText(const FieldRange& range, Digits digits) {
    if (range.below == 0 && range.above == 0) return "all within the scale";
    if (range.above == 0) return CountText(range.below, digits) + " below the scale";
    if (range.below == 0) return CountText(range.above, digits) + " above the scale";
    return CountText(range.below, digits) + " below and " + CountText(range.above, digits) +
           " above the scale";
}

std::string ReadoutLine(const PixelReading& reading, const FieldRange& range) {
    const std::string pixel = PixelText(reading, Digits::kExact);
    return (pixel.empty() ? std::string() : pixel + "  ") + RangeText(range, Digits::kExact) +
           "  " + OutsideText(range, Digits::kExact);
}

}  // namespace quorlane
