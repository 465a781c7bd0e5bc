#pragma once
// One file per fault episode, for a support ticket: the quarter hour before it from the ring,
// then its seconds until five minutes after the machine is normal again. Written at once
// when the episode begins, then appended once a minute, so a flash disk sees few writes.
#include <cstdint>
#include <functional>
#include <string>

#include "history/csv.h"
#include "history/ring.h"
#include "history/sample.h"

namespace kelvane::history {

inline constexpr std::int64_t kIncidentBefore = 15 * 60;
inline constexpr std::int64_t kIncidentAfter = 5 * 60;
inline constexpr std::int64_t kIncidentKeep = 2 * 60 * 60;  // first and last of a long one
inline constexpr std::uint64_t kIncidentCap = 2ull * 1024 * 1024;

// "cpu-over", "cpu-fan", "system-over", "system-fan" or "unreachable": what began it.
const char* IncidentWhat(const Sample& s);

class IncidentRecorder {
  public:
    // Writes text at the end of a file (created when absent); false when it cannot.
    using Append = std::function<bool(const std::string& path, const std::string& text)>;

    IncidentRecorder(const Ring& ring, Append append) : ring_(ring), append_(std::move(append)) {}

    // After `s` went into the ring. True when an episode began with it.
    bool Record(const Sample& s, const std::string& folder, int offset_minutes,
                const VoltsOf& volts, const ColumnNames& names);
    // The program ends: what is buffered goes out, with a line that says why it stops.
    void Close(int offset_minutes, const VoltsOf& volts);

    bool active() const { return active_; }
    const std::string& path() const { return path_; }  // the latest episode's file

  private:
    void Begin(const Sample& s, const std::string& folder, int offset_minutes, const VoltsOf& volts,
               const ColumnNames& names);
    void Flush();
    void Finish(int offset_minutes, const VoltsOf& volts, const char* line);

    const Ring& ring_;
    Append append_;
    bool active_ = false;
    std::string path_;
    std::string pending_;      // rows not yet appended
    std::uint64_t bytes_ = 0;  // in the file and pending
    // Seconds since the episode began, a jump of the wall clock counting as one tick: setting
    // the clock neither stretches nor cuts the episode.
    std::int64_t elapsed_ = 0;
    std::int64_t normal_since_ = -1;  // on that count
    std::int64_t flushed_minute_ = 0;
    std::int64_t left_out_from_ = 0;  // first second not written: the head is full
    std::size_t left_out_ = 0;        // samples since then
    std::int64_t last_ = 0;
};

}  // namespace kelvane::history
