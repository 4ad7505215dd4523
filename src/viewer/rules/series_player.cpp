// A series window's state.
#include "viewer/rules/series_player.h"

#include <algorithm>
#include <unordered_map>

#include "viewer/rules/watch.h"

namespace quorlane {

SeriesPlayer::SeriesPlayer(std::vector<SeriesStep> steps, const SeriesTuning& tuning)
    : steps_(std::move(steps)), tuning_(tuning), cache_(tuning.cacheBytes), schedule_(tuning.fps) {
    ids_.resize(steps_.size());
    for (StepId& id : ids_) id = nextId_++;
    UpdateWanted();
}

void SeriesPlayer::Key(SeriesKey key, int64_t now) {
    if (key != SeriesKey::PlayOrPause) {
        MoveTo(StepAfterKey(key, target_, steps_.size()), now);
        return;
    }
    if (schedule_.Playing()) {
        schedule_.Stop();
        awaitingDue_ = restartWhenSeen_ = false;
    } else {
        // From the step shown: the first move is due a period after it is.
        schedule_.Start(now);
        awaitingDue_ = restartWhenSeen_ = !TargetSeen();
        forward_ = true;
    }
    UpdateWanted();
}

void SeriesPlayer::GoTo(size_t index, int64_t now) {
    MoveTo(std::min(index, steps_.size() - 1), now);
}

void SeriesPlayer::MoveTo(size_t index, int64_t now) {
    if (index == target_) return;
    forward_ = index > target_;
    target_ = index;
    cache_.Retry(ids_[target_]);
    if (schedule_.Playing()) {
        // Playing goes on from here, a period after this step is shown.
        schedule_.Start(now);
        awaitingDue_ = restartWhenSeen_ = !ShowTargetIfReady();
    } else {
        ShowTargetIfReady();
    }
    UpdateWanted();
}

void SeriesPlayer::Tick(int64_t now) {
    if (awaitingDue_ || !schedule_.Due(now)) return;
    target_ = target_ + 1 == steps_.size() ? 0 : target_ + 1;
    forward_ = true;
    if (ShowTargetIfReady())
        schedule_.Shown(now);
    else
        awaitingDue_ = true;  // never skipped: the frame waits for its step
    UpdateWanted();
}

int64_t SeriesPlayer::Wait(int64_t now) const {
    return awaitingDue_ ? -1 : schedule_.Wait(now);
}

bool SeriesPlayer::TargetSeen() const {
    return displayedId_ == ids_[target_] || cache_.FailureOf(ids_[target_]) != nullptr;
}

void SeriesPlayer::Display(std::shared_ptr<const StepPayload> payload) {
    displayed_ = std::move(payload);
    displayedAt_ = target_;
    displayedId_ = ids_[target_];
    cache_.Shown(ids_[target_]);
}

bool SeriesPlayer::ShowTargetIfReady() {
    if (std::shared_ptr<const StepPayload> kept = cache_.Find(ids_[target_])) Display(kept);
    return TargetSeen();
}

void SeriesPlayer::TargetSettled(int64_t now) {
    if (!awaitingDue_) return;
    awaitingDue_ = false;
    if (restartWhenSeen_)
        schedule_.Start(now);
    else
        schedule_.Shown(now);
    restartWhenSeen_ = false;
}

void SeriesPlayer::UpdateWanted() {
    const size_t count = steps_.size();
    const bool playing = schedule_.Playing();
    const size_t fit =
        estimate_ == 0 ? 0 : size_t(std::min<uint64_t>(cache_.Budget() / estimate_, count));
    size_t ahead = std::min(fit, count - 1);
    ahead = std::min(ahead, playing ? tuning_.aheadWhilePlaying : tuning_.aheadWhilePaused);
    // Paused at an end, the only way on is back.
    bool forward = forward_ || playing;
    if (!playing && forward && target_ + 1 == count) forward = false;
    if (!playing && !forward && target_ == 0) forward = true;
    wanted_.clear();
    wantedSteps_.clear();
    wanted_.push_back(ids_[target_]);
    wantedSteps_.push_back(target_);
    size_t at = target_;
    for (size_t k = 0; k < ahead; ++k) {
        if (forward) {
            if (at + 1 == count && !playing) break;
            at = at + 1 == count ? 0 : at + 1;
        } else {
            if (at == 0) break;
            --at;
        }
        wanted_.push_back(ids_[at]);
        wantedSteps_.push_back(at);
    }
    cache_.Want(wanted_);
}

std::optional<StepLoad> SeriesPlayer::NextLoad() {
    if (underWay_) return std::nullopt;
    const std::optional<size_t> rank = cache_.NextLoad(estimate_);
    if (!rank) return std::nullopt;
    underWay_ = wanted_[*rank];
    return StepLoad{*underWay_, steps_[wantedSteps_[*rank]].files};
}

bool SeriesPlayer::ShouldAbandon() const {
    const StepId target = ids_[target_];
    return underWay_ && *underWay_ != target && !cache_.Kept(target) &&
           cache_.FailureOf(target) == nullptr;
}

void SeriesPlayer::Abandoned(StepId id) {
    if (underWay_ == id) underWay_.reset();
}

void SeriesPlayer::Loaded(StepId id, std::shared_ptr<const StepPayload> payload, uint64_t bytes,
                          int64_t now) {
    if (underWay_ == id) underWay_.reset();
    // A step that left the series (or was rewritten) while it loaded.
    if (std::find(ids_.begin(), ids_.end(), id) == ids_.end()) return;
    estimate_ = bytes;
    const bool isTarget = id == ids_[target_];
    cache_.Keep(id, payload, bytes);
    if (isTarget) {
        Display(std::move(payload));
        TargetSettled(now);
    }
    UpdateWanted();
}

void SeriesPlayer::Failed(StepId id, const std::string& message, int64_t now) {
    if (underWay_ == id) underWay_.reset();
    if (std::find(ids_.begin(), ids_.end(), id) == ids_.end()) return;
    cache_.Fail(id, message);
    if (id == ids_[target_]) TargetSettled(now);
}

void SeriesPlayer::Relisted(std::vector<SeriesStep> fresh, const LoadResult& listing, int64_t now) {
    if (!listing.ok || fresh.empty()) {
        listingFailure_ = listing.ok ? std::string(kNoGridFileMatches) : listing.message;
        return;
    }
    listingFailure_.clear();
    std::unordered_map<std::string, size_t> oldAt;
    for (size_t k = 0; k < steps_.size(); ++k) oldAt[steps_[k].files.gridPath] = k;
    std::vector<StepId> freshIds(fresh.size());
    std::vector<size_t> nowAt(steps_.size(), kNone);  // each old step's place in `fresh`
    for (size_t k = 0; k < fresh.size(); ++k) {
        const auto old = oldAt.find(fresh[k].files.gridPath);
        if (old == oldAt.end()) {
            freshIds[k] = nextId_++;
            continue;
        }
        const SeriesStep& was = steps_[old->second];
        const bool same = was.grid == fresh[k].grid && was.settings == fresh[k].settings;
        freshIds[k] = same ? ids_[old->second] : nextId_++;
        nowAt[old->second] = k;
    }
    for (size_t k = 0; k < steps_.size(); ++k)
        if (nowAt[k] == kNone || freshIds[nowAt[k]] != ids_[k]) cache_.Forget(ids_[k]);
    // Paused on the last step: follow the run. Else this step, or the next
    // one still there.
    size_t target = fresh.size() - 1;
    if (schedule_.Playing() || target_ + 1 < steps_.size()) {
        size_t k = target_;
        while (k < steps_.size() && nowAt[k] == kNone) ++k;
        if (k < steps_.size()) target = nowAt[k];
    }
    const bool displayedStays = displayedAt_ != kNone && nowAt[displayedAt_] != kNone;
    displayedAt_ = displayedStays ? nowAt[displayedAt_] : kNone;
    const StepId targetWas = ids_[target_];
    steps_ = std::move(fresh);
    ids_ = std::move(freshIds);
    target_ = target;
    if (ids_[target_] != targetWas && ShowTargetIfReady()) TargetSettled(now);
    UpdateWanted();
}

std::string SeriesPlayer::Title() const {
    const std::string* failure = cache_.FailureOf(ids_[target_]);
    // The title names the step whose picture is shown, or the target while
    // it fails (or before any picture).
    const size_t named = failure || displayedAt_ == kNone ? target_ : displayedAt_;
    return WatchTitle(SeriesTitle(steps_[named].files, named, steps_.size(), schedule_.Playing(),
                                  failure ? *failure : std::string()),
                      listingFailure_);
}

}  // namespace quorlane
