#include "history/incident.h"

#include <algorithm>
#include <vector>

#include "history/civil_time.h"
#include "history/csv.h"

namespace kelvane::history {
namespace {

bool Normal(const Sample& s) { return s.reachable() && s.status == 0 && !s.lasting(); }

std::int64_t Step(std::int64_t before, std::int64_t after) {
    return ClockJumped(before, after) ? 1 : after - before;
}

// The rows of the ring's samples from `first` on, or of as many of the newest as `room` bytes
// hold; `taken` tells how many.
std::string NewestRows(const Ring& ring, std::size_t first, std::uint64_t room, int offset_minutes,
                       const VoltsOf& volts, std::size_t& taken) {
    std::vector<std::string> rows;
    std::uint64_t used = 0;
    for (std::size_t i = ring.size(); i-- > first;) {
        std::string row = SampleRow(ring.at(i), offset_minutes, volts);
        if (used + row.size() > room) break;
        used += row.size();
        rows.push_back(std::move(row));
    }
    taken = rows.size();
    std::string text;
    text.reserve(used);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) text += *it;
    return text;
}

}  // namespace

const char* IncidentWhat(const Sample& s) {
    if (!s.reachable()) return "unreachable";
    switch (s.status) {
        case 1:
            return "cpu-over";
        case 2:
            return "cpu-fan";
        case 3:
            return "system-over";
        default:
            return "system-fan";
    }
}

bool IncidentRecorder::Record(const Sample& s, const std::string& folder, int offset_minutes,
                              const VoltsOf& volts, const ColumnNames& names) {
    if (!active_) {
        if (!s.lasting() && s.reachable()) return false;
        Begin(s, folder, offset_minutes, volts, names);
        return true;
    }
    elapsed_ += Step(last_, s.time);
    last_ = s.time;
    if (left_out_ == 0) {
        std::string row = SampleRow(s, offset_minutes, volts);
        // The head of a long episode ends after two hours or half the file.
        if (elapsed_ < kIncidentKeep && bytes_ + row.size() <= kIncidentCap / 2) {
            bytes_ += row.size();
            pending_ += row;
        } else {
            left_out_from_ = s.time;
            left_out_ = 1;
        }
    } else {
        ++left_out_;
    }
    if (!Normal(s))
        normal_since_ = -1;
    else if (normal_since_ < 0)
        normal_since_ = elapsed_;
    if (normal_since_ >= 0 && elapsed_ - normal_since_ >= kIncidentAfter) {
        Finish(offset_minutes, volts, nullptr);
        return false;
    }
    if (FloorDiv(s.time, 60) != flushed_minute_) Flush();
    return false;
}

void IncidentRecorder::Begin(const Sample& s, const std::string& folder, int offset_minutes,
                             const VoltsOf& volts, const ColumnNames& names) {
    active_ = true;
    last_ = s.time;
    elapsed_ = 0;
    normal_since_ = -1;
    left_out_ = 0;
    path_ = folder + "\\" + StampText(s.time, offset_minutes) + "-" + IncidentWhat(s) + ".csv";
    // The quarter hour before, taken from the newest samples back: after the clock was set
    // back, what came before that is out of time order and not part of it.
    std::string text = SampleHeader(names);
    std::size_t taken = 0;
    text += NewestRows(ring_, ring_.FirstAtOrAfter(s.time - kIncidentBefore + 1),
                       kIncidentCap / 2 - text.size(), offset_minutes, volts, taken);
    bytes_ = text.size();
    pending_ = std::move(text);
    Flush();
}

void IncidentRecorder::Flush() {
    flushed_minute_ = FloorDiv(last_, 60);
    if (pending_.empty()) return;
    // Rows a failed write left wait for the next minute; bytes_ counts them, so the file's
    // cap bounds them too.
    if (append_(path_, pending_)) pending_.clear();
}

void IncidentRecorder::Finish(int offset_minutes, const VoltsOf& volts, const char* line) {
    if (left_out_ > 0 && ring_.size() > 0) {
        // The tail comes from the ring: the last two hours, as many as the file has room for.
        std::size_t first = ring_.size() - std::min(left_out_, ring_.size());
        std::int64_t span = 0;
        for (std::size_t i = ring_.size() - 1; i > first; --i) {
            span += Step(ring_.at(i - 1).time, ring_.at(i).time);
            if (span >= kIncidentKeep) {
                first = i;
                break;
            }
        }
        std::size_t taken = 0;
        const std::string rows =
            NewestRows(ring_, first, kIncidentCap - bytes_ - 200, offset_minutes, volts, taken);
        if (taken < left_out_) {
            const std::int64_t to = taken < ring_.size() ? ring_.at(ring_.size() - taken - 1).time
                                                         : ring_.at(0).time - 1;
            pending_ += "# left out: " + IsoText(left_out_from_, offset_minutes) + " to " +
                        IsoText(to, offset_minutes) +
                        "; the file keeps the first and the last 2 hours\r\n";
        }
        pending_ += rows;
    }
    if (line) pending_ += line;
    Flush();
    active_ = false;
}

void IncidentRecorder::Close(int offset_minutes, const VoltsOf& volts) {
    if (!active_) return;
    Finish(offset_minutes, volts, "# Kelvane ended during the episode\r\n");
}

}  // namespace kelvane::history
