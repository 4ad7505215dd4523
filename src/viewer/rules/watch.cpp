// The reload schedule of the watch mode.
#include "viewer/rules/watch.h"

#include <algorithm>

namespace quorlane {

ReloadSchedule::ReloadSchedule(int64_t now, const InputStamps& loaded)
    : loaded_(loaded), firstHint_(now), lastHint_(now), lastCheck_(now) {}

void ReloadSchedule::Notified(int64_t now) {
    if (!pending_) firstHint_ = now;
    lastHint_ = now;
    pending_ = true;
}

void ReloadSchedule::Checked(int64_t now, const InputStamps& stamps) {
    lastCheck_ = now;
    // A difference from what the last load began with is a change no
    // notification may have told of; while a load runs, it asks for one more.
    const bool retry = unopened_ && !loading_;
    if ((stamps != loaded_ || retry) && !pending_) Notified(now);
}

void ReloadSchedule::LoadStarted(const InputStamps& stamps) {
    loaded_ = stamps;
    pending_ = false;
    loading_ = true;
}

void ReloadSchedule::LoadFinished(const LoadResult& result) {
    loading_ = false;
    unopened_ = CouldNotOpen(result);
    failure_ = result.ok ? std::string() : result.message;
}

int64_t ReloadSchedule::Wait(int64_t now) const {
    int64_t wait = std::max<int64_t>(0, lastCheck_ + kCheckMs - now);
    if (pending_ && !loading_) {
        const int64_t due = std::min(lastHint_ + kQuietMs, firstHint_ + kLatestMs);
        wait = std::min(wait, std::max<int64_t>(0, due - now));
    }
    return wait;
}

std::string WatchTitle(const std::string& title, const std::string& failure) {
    return failure.empty() ? title : title + " (not updated: " + failure + ")";
}

DisplaySettings ReloadedSettings(DisplaySettings loaded, const DisplaySettings& shown) {
    loaded.windowWidth = shown.windowWidth;
    loaded.windowHeight = shown.windowHeight;
    return loaded;
}

bool NamesAnInputFile(const std::string& changed, const InputFiles& inputs, PathStyle style) {
    const std::string name = FoldAsciiCase(changed);
    return name == FoldAsciiCase(LastComponent(inputs.gridPath, style)) ||
           name == FoldAsciiCase(LastComponent(inputs.settingsPath, style));
}

}  // namespace quorlane
