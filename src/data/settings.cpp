// Loading the settings file into the Display settings: seventeen line reads,
// each line setting the value of its position.
#include "data/settings.h"

#include <cstring>

#include "data/bytesource.h"
#include "data/textread.h"

namespace quorlane {

LoadResult LoadSettingsFrom(DisplaySettings& s, ByteSource& source, const std::string& path) {
    s = DisplaySettings();
    TextSource in(source);
    int32_t* const colours[] = {&s.minRed,   &s.maxRed,  &s.minGreen,
                                &s.maxGreen, &s.minBlue, &s.maxBlue};
    uint32_t* const sizes[] = {&s.windowWidth, &s.windowHeight, &s.bandHeight,
                               &s.bandSideGap, &s.bandStrip,    &s.intervals};
    for (uint32_t i = 0; i < 17; ++i) {
        std::string_view line;
        if (!in.ReadLine(line)) return LoadFailure(kErrorReading, path);
        if (i < 2) {
            (i == 0 ? s.scaleMin : s.scaleMax) = RealPrefix(line);
        } else if (i < 8) {
            *colours[i - 2] = IntPrefix(line);
        } else if (i < 14) {
            *sizes[i - 8] = uint32_t(IntPrefix(line));
        } else if (i == 14) {
            // The caption is the line's first word, cut to what it holds.
            std::string_view word;
            if (FirstWord(line, word)) {
                const size_t room = sizeof s.caption - 1;
                const size_t len = word.size() < room ? word.size() : room;
                std::memcpy(s.caption, word.data(), len);
                s.caption[len] = '\0';
            }
        } else {
            (i == 15 ? s.clipping : s.palette) = uint8_t(uint32_t(IntPrefix(line)) & 0xFFu);
        }
    }
    return LoadOk();
}

LoadResult LoadSettingsBytes(DisplaySettings& settings, const char* data, size_t n) {
    MemorySource source(data, n);
    return LoadSettingsFrom(settings, source);
}

LoadResult LoadSettings(DisplaySettings& settings, const std::string& path) {
    settings = DisplaySettings();
    FileSource source;
    if (!source.Open(path)) return LoadFailure(kCannotOpen, path);
    return LoadSettingsFrom(settings, source, path);
}

}  // namespace quorlane
