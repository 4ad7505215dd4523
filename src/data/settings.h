#pragma once
// The Display settings: seventeen values read by line position from
// "quorlane.ini". They are filled by one load and only read afterwards; a
// reload (--watch) fills new ones that replace them whole.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/names.h"
#include "data/load_result.h"

namespace quorlane {

struct DisplaySettings {
    float scaleMin = 0.0f;  // line 1: field value at the low end of the scale
    float scaleMax = 0.0f;  // line 2: field value at the high end of the scale
    // Lines 3 to 8: the two-colour scale's low-end and high-end colours.
    int32_t minRed = 0;
    int32_t maxRed = 0;
    int32_t minGreen = 0;
    int32_t maxGreen = 0;
    int32_t minBlue = 0;
    int32_t maxBlue = 0;
    uint32_t windowWidth = 0;   // line 9: initial outer window width, pixels
    uint32_t windowHeight = 0;  // line 10: initial outer window height, pixels
    uint32_t bandHeight = 0;    // line 11: height of the colour band, pixels
    uint32_t bandSideGap = 0;   // line 12: gap between the band and the left and right edges
    uint32_t bandStrip = 0;     // line 13: height of the strips above and below the band
    uint32_t intervals = 0;     // line 14: stored, never used
    char caption[50] = {};      // line 15: first word, at most 49 characters
    uint8_t clipping = 0;  // line 16: 1 = values outside the scale take the nearer end's colour
    uint8_t palette = 0;   // line 17: 1 = rainbow palette, anything else the two-colour scale

    bool Rainbow() const { return palette == 1; }
    bool Clips() const { return clipping == 1; }
    // The scale's span, scaleMax − scaleMin rounded to a float.
    float ScaleSpan() const { return float(double(scaleMax) - double(scaleMin)); }
    // The two-colour scale's spans, high end minus low end, wrapping in 32 bits.
    int32_t RedSpan() const { return WrapSub(maxRed, minRed); }
    int32_t GreenSpan() const { return WrapSub(maxGreen, minGreen); }
    int32_t BlueSpan() const { return WrapSub(maxBlue, minBlue); }

  private:
    static int32_t WrapSub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
};

class ByteSource;

// Loads the settings file at `path` (UTF-8; by default "quorlane.ini" in the
// working directory) into `settings`, every setting starting from zero.
// Reports name the file as `path` gives it.
LoadResult LoadSettings(DisplaySettings& settings, const std::string& path = kSettingsFileName);
// Loads settings text from a source; reading stops after the seventeenth
// line. Reports name the file `path`.
LoadResult LoadSettingsFrom(DisplaySettings& settings, ByteSource& source,
                            const std::string& path = kSettingsFileName);
// Loads settings text already in memory.
LoadResult LoadSettingsBytes(DisplaySettings& settings, const char* data, size_t n);

}  // namespace quorlane
