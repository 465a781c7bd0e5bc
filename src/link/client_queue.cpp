#include "link/client_queue.h"

namespace kelvane::link {

bool ClientQueue::Push(std::string frame, std::int64_t now_ms) {
    if (bytes_ == 0) moved_ms_ = now_ms;  // an empty queue has nobody waiting on it
    if (now_ms - moved_ms_ > kMaxStallMs) return false;
    if (frame.size() > kMaxQueuedBytes - bytes_) return false;
    bytes_ += frame.size();
    frames_.push_back(std::move(frame));
    return true;
}

std::string_view ClientQueue::Front() const {
    if (frames_.empty()) return {};
    return std::string_view(frames_.front()).substr(offset_);
}

void ClientQueue::Written(std::size_t n, std::int64_t now_ms) {
    if (n > 0) moved_ms_ = now_ms;
    while (n > 0 && !frames_.empty()) {
        const std::size_t rest = frames_.front().size() - offset_;
        const std::size_t take = n < rest ? n : rest;
        offset_ += take;
        bytes_ -= take;
        n -= take;
        if (offset_ == frames_.front().size()) {
            frames_.pop_front();
            offset_ = 0;
        }
    }
}

}  // namespace kelvane::link
