#pragma once
// Which steps of a series stay in memory. The cache keeps loaded steps
// within a budget of bytes; the window says which steps it wants, nearest
// first (the step to show, then the steps ahead of it in the direction of
// travel), and the cache says which to load next and which to drop:
// - a wanted step is loaded ahead only when it fits in what the nearer
//   wanted steps leave of the budget (the step to show is always loaded);
// - room is made by dropping first the steps not wanted, least recently
//   shown first (never shown counts as oldest), then the wanted steps
//   farthest ahead, never one nearer than the step that comes in;
// - a step larger than the budget is never kept: the window shows it from
//   its own reference and frees it when it moves on.
// So the kept steps never exceed the budget, and with the step on the screen
// and one load under way at most budget + two grids are in memory.
// Portable: the caller loads; steps are named by ids that stay the same
// while the series grows.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorlane {

// What a load gives the window (its grid, settings and painter); the
// viewer derives its own.
struct StepPayload {
    virtual ~StepPayload() = default;
};

using StepId = uint64_t;

class StepCache {
  public:
    explicit StepCache(uint64_t budgetBytes) : budget_(budgetBytes) {}

    uint64_t Budget() const { return budget_; }

    // The steps wanted now, nearest first (the first is the one to show).
    void Want(const std::vector<StepId>& wanted);
    // The position among the wanted of the step to load next, or none: the
    // first wanted step neither kept nor failed, when it is the first or a
    // step of `estimate` bytes fits in what the nearer kept ones leave.
    std::optional<size_t> NextLoad(uint64_t estimate) const;

    // Takes a loaded step of `bytes`, if it is to be kept (see above); a
    // step that is not wanted is kept only in free room.
    void Keep(StepId id, std::shared_ptr<const StepPayload> payload, uint64_t bytes);
    // A step that cannot be loaded: not asked for again until Retry or Forget.
    void Fail(StepId id, const std::string& message);
    void Retry(StepId id) { failures_.erase(id); }
    // The step is on the screen: the most recently shown.
    void Shown(StepId id);
    // The step is no longer in the series or was rewritten: dropped.
    void Forget(StepId id);

    std::shared_ptr<const StepPayload> Find(StepId id) const;
    // The failure report of a step that cannot be loaded, else null.
    const std::string* FailureOf(StepId id) const;
    bool Kept(StepId id) const { return entries_.count(id) > 0; }
    uint64_t KeptBytes() const { return keptBytes_; }
    size_t KeptSteps() const { return entries_.size(); }

  private:
    static constexpr size_t kNotWanted = SIZE_MAX;
    struct Entry {
        std::shared_ptr<const StepPayload> payload;
        uint64_t bytes = 0;
        uint64_t shownAt = 0;  // 0: never shown
        uint64_t keptAt = 0;
        size_t wantedAt = kNotWanted;
    };
    // The step to drop first to make room for one wanted at `rank`, or end.
    std::unordered_map<StepId, Entry>::iterator Victim(size_t rank);
    void Drop(std::unordered_map<StepId, Entry>::iterator e);

    uint64_t budget_;
    uint64_t keptBytes_ = 0;
    uint64_t clock_ = 0;  // counts the steps kept and shown
    std::unordered_map<StepId, Entry> entries_;
    std::unordered_map<StepId, std::string> failures_;
    std::vector<StepId> wanted_;
};

}  // namespace quorlane
