// Loading "quorlane.ini" into the Display settings: seventeen line reads,
// each line setting the value of its position.
#include "data/settings.h"

#include <cstring>
#include <vector>

#include "data/textread.h"

float Fmin = 0.0f;
float Fmax = 0.0f;
int32_t minRed = 0;
int32_t maxRed = 0;
int32_t minGreen = 0;
int32_t maxGreen = 0;
int32_t minBlue = 0;
int32_t maxBlue = 0;
uint32_t Width = 0;
uint32_t Height = 0;
uint32_t Band = 0;
uint32_t Xmargin = 0;
uint32_t Ymargin = 0;
uint32_t intervals = 0;
char Label[50] = {};
uint8_t clipping = 0;
uint8_t color = 0;

float dFF = 0.0f;
int32_t dRed = 0;
int32_t dGreen = 0;
int32_t dBlue = 0;

namespace {

const char kCannotOpen[] = "Cannot open \"quorlane.ini\"";
const char kErrorReading[] = "Error reading \"quorlane.ini\"";

void ResetSettings() {
    Fmin = Fmax = 0.0f;
    minRed = maxRed = minGreen = maxGreen = minBlue = maxBlue = 0;
    Width = Height = Band = Xmargin = Ymargin = intervals = 0;
    std::memset(Label, 0, sizeof Label);
    clipping = color = 0;
    dFF = 0.0f;
    dRed = dGreen = dBlue = 0;
}

// Difference of two 32-bit integers, wrapping as the machine does.
int32_t WrapSub(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) - uint32_t(b));
}

}  // namespace

StartupResult LoadSettingsBytes(char* data, size_t n) {
    ResetSettings();
    TextIn in = OpenText(data, n);
    int32_t* const ints[] = {&minRed, &maxRed, &minGreen, &maxGreen, &minBlue, &maxBlue};
    uint32_t* const uints[] = {&Width, &Height, &Band, &Xmargin, &Ymargin, &intervals};
    for (uint32_t i = 0; i < 17; ++i) {
        std::string_view line;
        if (!ReadLine(in, line)) return StartupFail(kErrorReading);
        if (i < 2) {
            (i == 0 ? Fmin : Fmax) = RealPrefix(line);
        } else if (i < 8) {
            *ints[i - 2] = IntPrefix(line);
        } else if (i < 14) {
            *uints[i - 8] = uint32_t(IntPrefix(line));
        } else if (i == 14) {
            // The caption is the line's first word, cut to what Label holds.
            std::string_view word;
            if (FirstWord(line, word)) {
                size_t len = word.size() < sizeof Label - 1 ? word.size() : sizeof Label - 1;
                std::memcpy(Label, word.data(), len);
                Label[len] = '\0';
            }
        } else {
            (i == 15 ? clipping : color) = uint8_t(uint32_t(IntPrefix(line)) & 0xFFu);
        }
    }
    dFF = float(double(Fmax) - double(Fmin));
    dRed = WrapSub(maxRed, minRed);
    dGreen = WrapSub(maxGreen, minGreen);
    dBlue = WrapSub(maxBlue, minBlue);
    return StartupOk();
}

StartupResult LoadSettings(const char* path) {
    ResetSettings();
    std::vector<char> bytes;
    if (!ReadFileBytes(path, bytes)) return StartupFail(kCannotOpen);
    return LoadSettingsBytes(bytes.data(), bytes.size());
}
