#include "history/incident.h"

#include <vector>

#include "history/civil_time.h"
#include "history/csv.h"

namespace kelvane::history {
namespace {

bool Normal(const Sample& s) { return s.reachable() && s.status == 0 && !s.lasting(); }

std::int64_t Minute(std::int64_t t) { return t >= 0 ? t / 60 : (t - 59) / 60; }

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
                              const VoltsOf& volts) {
    if (!active_) {
        if (!s.lasting() && s.reachable()) return false;
        Begin(s, folder, offset_minutes, volts);
        return true;
    }
    last_ = s.time;
    if (left_out_from_ < 0) {
        std::string row = SampleRow(s, offset_minutes, volts);
        // The head of a long episode ends after two hours or half the file.
        if (s.time - begin_ < kIncidentKeep && bytes_ + row.size() <= kIncidentCap / 2) {
            bytes_ += row.size();
            pending_ += row;
        } else {
            left_out_from_ = s.time;
        }
    }
    if (!Normal(s))
        normal_since_ = -1;
    else if (normal_since_ < 0)
        normal_since_ = s.time;
    if (normal_since_ >= 0 && s.time - normal_since_ >= kIncidentAfter) {
        Finish(s.time, offset_minutes, volts, nullptr);
        return false;
    }
    if (Minute(s.time) != flushed_minute_) Flush();
    return false;
}

void IncidentRecorder::Begin(const Sample& s, const std::string& folder, int offset_minutes,
                             const VoltsOf& volts) {
    active_ = true;
    begin_ = last_ = s.time;
    normal_since_ = left_out_from_ = -1;
    path_ = folder + "\\" + StampText(s.time, offset_minutes) + "-" + IncidentWhat(s) + ".csv";
    std::string text = SampleHeader();
    for (std::size_t i = ring_.FirstAtOrAfter(s.time - kIncidentBefore + 1); i < ring_.size(); ++i)
        text += SampleRow(ring_.at(i), offset_minutes, volts);
    bytes_ = text.size();
    pending_ = std::move(text);
    Flush();
}

void IncidentRecorder::Flush() {
    flushed_minute_ = Minute(last_);
    if (pending_.empty()) return;
    // A file that cannot be written loses these rows; the next minute tries again.
    append_(path_, pending_);
    pending_.clear();
}

void IncidentRecorder::Finish(std::int64_t end, int offset_minutes, const VoltsOf& volts,
                              const char* line) {
    if (left_out_from_ >= 0) {
        // The tail comes from the ring: the last two hours, as many as the file has room for.
        const std::int64_t from = std::max(left_out_from_, end - kIncidentKeep + 1);
        std::vector<std::string> rows;
        std::uint64_t room = kIncidentCap - bytes_ - 200, used = 0;
        for (std::size_t i = ring_.size(); i-- > ring_.FirstAtOrAfter(from);) {
            std::string row = SampleRow(ring_.at(i), offset_minutes, volts);
            if (used + row.size() > room) break;
            used += row.size();
            rows.push_back(std::move(row));
        }
        const std::int64_t tail =
            rows.empty() ? end + 1 : ring_.at(ring_.size() - rows.size()).time;
        if (tail > left_out_from_)
            pending_ += "# left out: " + IsoText(left_out_from_, offset_minutes) + " to " +
                        IsoText(tail - 1, offset_minutes) +
                        "; the file keeps the first and the last 2 hours\r\n";
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) pending_ += *it;
    }
    if (line) pending_ += line;
    Flush();
    active_ = false;
}

void IncidentRecorder::Close(int offset_minutes, const VoltsOf& volts) {
    if (!active_) return;
    Finish(last_, offset_minutes, volts, "# Kelvane ended during the episode\r\n");
}

}  // namespace kelvane::history
