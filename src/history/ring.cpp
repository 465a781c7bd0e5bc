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
    std::size_t lo = 0, hi = size_;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (at(mid).time < time)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace kelvane::history
