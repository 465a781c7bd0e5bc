#pragma once
// The last day of samples at one per tick: one allocation at construction, then the oldest
// sample gives way to the newest.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "history/sample.h"

namespace kelvane::history {

inline constexpr std::size_t kRingSamples = 24 * 60 * 60;

// Ticks come a second apart, two when one came late. Any other step between two samples in a
// row, backwards above all, means the wall clock was set: the two are not on one time line.
inline constexpr std::int64_t kLateTick = 2;
inline bool ClockJumped(std::int64_t before, std::int64_t after) {
    return after < before || after - before > kLateTick;
}

class Ring {
  public:
    explicit Ring(std::size_t capacity = kRingSamples) : samples_(capacity) {}

    void Push(const Sample& s);
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return samples_.size(); }
    // i = 0 is the oldest sample kept.
    const Sample& at(std::size_t i) const { return samples_[(first_ + i) % samples_.size()]; }
    const Sample& newest() const { return at(size_ - 1); }
    // The index of the first sample at or after `time` (size() when none) among the newest
    // ones in time order: a set-back clock ends the search, so what was recorded before it,
    // with times later than now, never comes in.
    std::size_t FirstAtOrAfter(std::int64_t time) const;

  private:
    std::vector<Sample> samples_;
    std::size_t first_ = 0;
    std::size_t size_ = 0;
};

}  // namespace kelvane::history
