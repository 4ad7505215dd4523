// The step cache's policy.
#include "viewer/rules/step_cache.h"

#include <tuple>

namespace quorlane {

void StepCache::Want(const std::vector<StepId>& wanted) {
    wanted_ = wanted;
    for (auto& e : entries_) e.second.wantedAt = kNotWanted;
    for (size_t k = wanted_.size(); k-- > 0;) {
        const auto e = entries_.find(wanted_[k]);
        if (e != entries_.end()) e->second.wantedAt = k;
    }
}

std::optional<size_t> StepCache::NextLoad(uint64_t estimate) const {
    uint64_t nearer = 0;  // the bytes of the nearer wanted steps kept
    for (size_t k = 0; k < wanted_.size(); ++k) {
        const auto e = entries_.find(wanted_[k]);
        if (e != entries_.end()) {
            nearer += e->second.bytes;
            continue;
        }
        if (failures_.count(wanted_[k])) continue;
        if (k == 0 || (nearer <= budget_ && estimate <= budget_ - nearer)) return k;
        return std::nullopt;
    }
    return std::nullopt;
}

std::unordered_map<StepId, StepCache::Entry>::iterator StepCache::Victim(size_t rank) {
    auto best = entries_.end();
    // Ordered by: not wanted before wanted; among those not wanted the least
    // recently shown, then the first kept; among the wanted the farthest.
    auto key = [](const Entry& e) {
        const bool wanted = e.wantedAt != kNotWanted;
        return std::make_tuple(wanted, wanted ? SIZE_MAX - e.wantedAt : 0, wanted ? 0 : e.shownAt,
                               wanted ? 0 : e.keptAt);
    };
    for (auto e = entries_.begin(); e != entries_.end(); ++e) {
        if (e->second.wantedAt != kNotWanted && e->second.wantedAt <= rank) continue;
        if (best == entries_.end() || key(e->second) < key(best->second)) best = e;
    }
    return best;
}

void StepCache::Drop(std::unordered_map<StepId, Entry>::iterator e) {
    keptBytes_ -= e->second.bytes;
    entries_.erase(e);
}

void StepCache::Keep(StepId id, std::shared_ptr<const StepPayload> payload, uint64_t bytes) {
    failures_.erase(id);
    const auto old = entries_.find(id);
    if (old != entries_.end()) Drop(old);
    if (bytes > budget_) return;
    size_t rank = kNotWanted;
    for (size_t k = 0; k < wanted_.size() && rank == kNotWanted; ++k)
        if (wanted_[k] == id) rank = k;
    if (rank == kNotWanted) {
        if (bytes > budget_ - keptBytes_) return;
    } else {
        // Only what may make room counts: is there enough of it?
        uint64_t room = budget_ - keptBytes_;
        for (const auto& e : entries_)
            if (e.second.wantedAt == kNotWanted || e.second.wantedAt > rank) room += e.second.bytes;
        if (room < bytes) return;
        while (bytes > budget_ - keptBytes_) Drop(Victim(rank));
    }
    Entry& e = entries_[id];
    e.payload = std::move(payload);
    e.bytes = bytes;
    e.keptAt = ++clock_;
    e.wantedAt = rank;
    keptBytes_ += bytes;
}

void StepCache::Fail(StepId id, const std::string& message) {
    const auto old = entries_.find(id);
    if (old != entries_.end()) Drop(old);
    failures_[id] = message;
}

void StepCache::Shown(StepId id) {
    const auto e = entries_.find(id);
    if (e != entries_.end()) e->second.shownAt = ++clock_;
}

void StepCache::Forget(StepId id) {
    failures_.erase(id);
    const auto e = entries_.find(id);
    if (e != entries_.end()) Drop(e);
}

std::shared_ptr<const StepPayload> StepCache::Find(StepId id) const {
    const auto e = entries_.find(id);
    return e == entries_.end() ? nullptr : e->second.payload;
}

const std::string* StepCache::FailureOf(StepId id) const {
    const auto f = failures_.find(id);
    return f == failures_.end() ? nullptr : &f->second;
}

}  // namespace quorlane
