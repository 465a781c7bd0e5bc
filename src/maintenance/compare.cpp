#include "maintenance/compare.h"

#include <cmath>
#include <string>

namespace kelvane::maintenance {
namespace {

constexpr const char* kDegree = "\xB0";  // ANSI code page 1252

// How far a measure is from its baseline, against its threshold.
enum class Level { Unknown, Back, Between, High };

Level LevelOf(double value, double threshold) {
    if (std::isnan(value)) return Level::Unknown;
    if (value >= threshold) return Level::High;
    return value < threshold / 2 ? Level::Back : Level::Between;
}

// Starts at High, ends at Back, keeps otherwise.
bool Held(bool was, Level level) {
    if (level == Level::High) return true;
    if (level == Level::Back) return false;
    return was;
}

// "2,280"
std::string Grouped(double value) {
    const long long v = std::llround(value);
    std::string digits = std::to_string(v < 0 ? -v : v);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return (v < 0 ? "-" : "") + digits;
}

std::string Percent(double share) { return std::to_string(std::llround(share * 100)) + " %"; }

}  // namespace

Window::Window(int minutes) : ring_(static_cast<std::size_t>(minutes > 0 ? minutes : 1)) {}

void Window::Take(const history::MinuteRow& row) {
    if (held_ == ring_.size())
        summaries_.Add(ring_[next_], -1);
    else
        ++held_;
    latest_ = FactsOf(row);
    ring_[next_] = latest_;
    summaries_.Add(latest_);
    next_ = (next_ + 1) % ring_.size();
}

void Compare(const Baseline& b, const Window& w, const Thresholds& t, MaintenanceState& state) {
    const int need = MinutesNeeded(w.minutes());
    const StepSummaries& now = w.summaries();
    for (int n = 0; n < kFans; ++n) {
        const auto i = static_cast<std::size_t>(n);
        const auto reason = static_cast<std::size_t>(n == 0 ? MaintenanceReason::SystemFanSlower
                                                            : MaintenanceReason::CpuFanSlower);
        state.fan_ratio[i] = state.fan_baseline_rpm[i] = MaintenanceState::kUnknown;
        const int step = w.latest().step[i];
        if (step < 0) continue;
        const auto& was = b.speed[i][static_cast<std::size_t>(step)];
        if (was) state.fan_baseline_rpm[i] = *was;
        const Histogram& h = now.speed(n, step);
        if (!was || h.total() < need) continue;
        const double speed = h.Median().value_or(0);
        const double ratio = speed / *was;
        const double drop = (1 - ratio) * 100;
        state.fan_ratio[i] = ratio;
        state.notice[reason] = Held(state.notice[reason], LevelOf(drop, t.fan_drop_percent));
        const std::string slower = std::string("The ") + (n == 0 ? "system" : "CPU") +
                                   " fan turns " + std::to_string(std::llround(drop)) +
                                   " % slower than it did";
        const char* const what = ": clean or replace it.";
        state.tip[reason] = slower + what;
        state.text[reason] = slower + " (" + Grouped(speed) + " rpm at step " +
                             std::to_string(kStepPwm[static_cast<std::size_t>(step)]) + ", was " +
                             Grouped(*was) + ")" + what;
    }

    const auto cooling = static_cast<std::size_t>(MaintenanceReason::CoolingClogged);
    state.rise_excess = MaintenanceState::kUnknown;
    const int cpu_step = w.latest().step[1];
    if (cpu_step >= 0) {
        const auto& was = b.rise[static_cast<std::size_t>(cpu_step)];
        const Histogram& h = now.rise(cpu_step);
        if (was && h.total() >= need) state.rise_excess = h.Median().value_or(0) - *was;
    }
    const Level rise = LevelOf(state.rise_excess, t.rise_degrees);
    // The share counts as doubled only ten points up as well: twice nothing is nothing.
    Level share = Level::Unknown;
    double share_now = 0;
    if (b.top_share && now.cpu_minutes() >= need) {
        share_now = static_cast<double>(now.top_minutes()) / now.cpu_minutes();
        const double up = share_now - *b.top_share;
        share = share_now >= 2 * *b.top_share && up >= 0.1    ? Level::High
                : share_now < 1.5 * *b.top_share || up < 0.05 ? Level::Back
                                                              : Level::Between;
    }
    if (rise == Level::High || share == Level::High)
        state.notice[cooling] = true;
    else if (rise != Level::Between && share != Level::Between &&
             (rise == Level::Back || share == Level::Back))
        state.notice[cooling] = false;
    if (share == Level::High && rise != Level::High)
        state.text[cooling] = "The CPU fan runs at its top step " + Percent(share_now) +
                              " of the time, it was " + Percent(*b.top_share) +
                              ": clean the cooling.";
    else if (rise != Level::Unknown)
        state.text[cooling] = "The CPU runs " + std::to_string(std::llround(state.rise_excess)) +
                              " " + kDegree +
                              "C hotter over the case than it did: clean the "
                              "cooling.";
    state.tip[cooling] = state.text[cooling];
}

}  // namespace kelvane::maintenance
