#pragma once
// The Display settings: seventeen values read by line position from
// "quorlane.ini", written once at start-up and only read afterwards.
#include <cstddef>
#include <cstdint>

#include "data/startup.h"

extern float Fmin;          // line 1: value at the low end of the scale
extern float Fmax;          // line 2: value at the high end of the scale
extern int32_t minRed;      // line 3
extern int32_t maxRed;      // line 4
extern int32_t minGreen;    // line 5
extern int32_t maxGreen;    // line 6
extern int32_t minBlue;     // line 7
extern int32_t maxBlue;     // line 8
extern uint32_t Width;      // line 9: initial outer window width
extern uint32_t Height;     // line 10: initial outer window height
extern uint32_t Band;       // line 11: colour band height
extern uint32_t Xmargin;    // line 12: band's left and right gap
extern uint32_t Ymargin;    // line 13: strip above and below the band
extern uint32_t intervals;  // line 14: stored, never used
extern char Label[50];      // line 15: caption, first word, at most 49 characters
extern uint8_t clipping;    // line 16: 1 = clip values outside [Fmin, Fmax]
extern uint8_t color;       // line 17: 1 = rainbow palette, else two-colour scale

// Derived once all seventeen lines are read.
extern float dFF;       // Fmax - Fmin
extern int32_t dRed;    // maxRed - minRed (wrapping)
extern int32_t dGreen;  // maxGreen - minGreen
extern int32_t dBlue;   // maxBlue - minBlue

// Loads the settings file (by default "quorlane.ini" in the working
// directory). Every setting starts from zero, as at program start.
StartupResult LoadSettings(const char* path = "quorlane.ini");
// Loads settings text already in memory; `data` is modified in place.
StartupResult LoadSettingsBytes(char* data, size_t n);
