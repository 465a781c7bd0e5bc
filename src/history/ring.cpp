#include "history/ring.h"

namespace kelvane::history {

void Ring::Push(const Sample& s) {
    if (samples_.empty()) return;
    if (size_ < samples_.size()) {
        samples_[(first_ + size_) % samples_.size()] = s;
        ++size_;
        return;
    }
    samples_[first_] = s;
    first_ = (first_ + 1) % samples_.size();
}

std::size_t Ring::FirstAtOrAfter(std::int64_t time) const {
    // From the newest back: a look at the last minutes costs those minutes, not the day.
    std::size_t i = size_;
    while (i > 0 && at(i - 1).time >= time && (i == size_ || at(i - 1).time <= at(i).time)) --i;
    return i;
}

}  // namespace kelvane::history
