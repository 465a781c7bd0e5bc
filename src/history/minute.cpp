#include "history/minute.h"

#include <algorithm>

namespace kelvane::history {

Stat Sum::ToStat(int reading, const VoltsOf& volts) const {
    if (count == 0) return {};
    const double mean = sum / count;
    if (reading < kFirstVolt) return {true, min, mean, max};
    // The conversion is a straight line, so the mean converts as one value.
    const int v = reading - kFirstVolt;
    const double a = volts(v, min), b = volts(v, max);
    return {true, std::min(a, b), volts(v, mean), std::max(a, b)};
}

int Severity(const Sample& s) {
    if (!s.reachable()) return 4;
    if (s.critical()) return 3;
    if (s.lasting()) return 2;
    return s.status != 0 ? 1 : 0;
}

void MinuteAccumulator::Add(const Sample& s) {
    for (std::size_t n = 0; n < step_.size(); ++n)
        if (samples_ == 0 || step_[n] != s.step[n]) step_[n] = samples_ == 0 ? s.step[n] : -1;
    ++samples_;
    const int severity = Severity(s);
    if (severity > worst_severity_) {
        worst_severity_ = severity;
        worst_status_ = s.status;
    }
    lasting_ += s.lasting() ? 1 : 0;
    critical_ += s.critical() ? 1 : 0;
    if (!s.reachable()) {
        ++unreachable_;
        return;
    }
    if (!s.has_reading()) return;
    limit_ = {s.limit[0], s.limit[1]};
    for (int n = 0; n < kChannels; ++n) {
        const auto i = static_cast<std::size_t>(n);
        sums_[i].Add(s.temp[i]);
        sums_[kFirstFan + i].Add(s.fan[i]);
    }
    for (int v = 0; v < kInputs; ++v)
        if (s.shown(v))
            sums_[kFirstVolt + static_cast<std::size_t>(v)].Add(
                s.volt[static_cast<std::size_t>(v)]);
}

MinuteRow MinuteAccumulator::Take(std::int64_t minute_start, int offset_minutes,
                                  const VoltsOf& volts) {
    MinuteRow row;
    row.time = minute_start;
    row.offset_minutes = offset_minutes;
    row.samples = samples_;
    row.status = worst_status_;
    row.lasting_s = lasting_;
    row.critical_s = critical_;
    row.unreachable_s = unreachable_;
    row.limit = limit_;
    row.step = {step_[0], step_[1]};
    for (int i = 0; i < kReadings; ++i)
        row.stat[static_cast<std::size_t>(i)] = sums_[static_cast<std::size_t>(i)].ToStat(i, volts);
    *this = MinuteAccumulator();
    return row;
}

}  // namespace kelvane::history
