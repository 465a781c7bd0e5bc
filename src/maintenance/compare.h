#pragma once
// The comparing side of the maintenance notice: the last WindowMinutes minutes summarised as
// the baseline is, and the once-a-minute comparison that starts and ends each notice.
#include <cstddef>
#include <vector>

#include "history/csv.h"
#include "maintenance/baseline.h"
#include "maintenance/summaries.h"
#include "state/maintenance_state.h"

namespace kelvane::maintenance {

class Window {
  public:
    explicit Window(int minutes);
    int minutes() const { return static_cast<int>(ring_.size()); }
    void Take(const history::MinuteRow& row);
    const StepSummaries& summaries() const { return summaries_; }
    // The newest minute's: the step each fan is at now.
    const MinuteFacts& latest() const { return latest_; }

  private:
    std::vector<MinuteFacts> ring_;
    std::size_t next_ = 0;
    std::size_t held_ = 0;
    StepSummaries summaries_;
    MinuteFacts latest_;
};

struct Thresholds {
    int fan_drop_percent = 25;
    int rise_degrees = 8;
};

// Compares the window's medians at each fan's current step with the baseline, and the CPU
// fan's share of minutes at the top step. A notice starts at its threshold and ends once the
// median is back within half of it; where nothing can be compared it stays as it was.
void Compare(const Baseline& b, const Window& w, const Thresholds& t, MaintenanceState& state);

}  // namespace kelvane::maintenance
