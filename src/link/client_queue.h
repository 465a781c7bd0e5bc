#pragma once
// What the owner keeps for each connected view: the frames not yet written to its pipe. The
// owner only ever adds to the queue and writes what the pipe takes without waiting, so a
// view that stops reading costs memory up to the bound and then its connection, never a tick.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "base/shared_counter.h"

namespace kelvane::link {

// Twice a month-long History reply at its widest, and some minutes of state.
inline constexpr std::size_t kMaxQueuedBytes = 1024 * 1024;
// A view whose queue has not moved for this long is not reading.
inline constexpr std::int64_t kMaxStallMs = 10000;

class ClientQueue {
  public:
    // False when the client must be dropped: the frame would pass the bound, or the oldest
    // unsent byte has waited too long. Nothing is queued then.
    bool Push(std::string frame, std::int64_t now_ms);
    // The bytes to write next, the front frame's rest; empty when all are written.
    std::string_view Front() const;
    // The pipe took `n` bytes of Front().
    void Written(std::size_t n, std::int64_t now_ms);
    std::size_t queued_bytes() const { return bytes_; }

  private:
    std::deque<std::string> frames_;
    std::size_t offset_ = 0;  // of the front frame, already written
    std::size_t bytes_ = 0;   // still to write
    std::int64_t moved_ms_ = 0;
};

// Why the owner let a view go; every drop counts towards kelvane_view_clients_dropped_total.
// Flooding: more requests than the owner takes at once.
enum class DropReason { Malformed, Oversized, OtherVersion, NotReading, Flooding };

// Raised on the pipe's thread, read by the tick's metrics file.
class DropCounter {
  public:
    void Count(DropReason) { total_.Add(); }
    std::uint64_t total() const { return total_.value(); }
    const SharedCounter& shared() const { return total_; }

  private:
    SharedCounter total_;
};

}  // namespace kelvane::link
