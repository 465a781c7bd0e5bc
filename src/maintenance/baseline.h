#pragma once
// The terminal's own normal, learned once from the first minutes after learning starts and
// kept in the data folder: the median speed of fans 0 and 1 at each step that turns them, the
// CPU's rise over the system at each CPU-fan step, and the CPU fan's share of minutes at the
// top step.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "history/csv.h"
#include "maintenance/summaries.h"

namespace kelvane::maintenance {

struct Baseline {
    std::int64_t learned = 0;  // when it was complete, seconds since 1970
    std::string learned_date;  // the same as a local date, YYYY-MM-DD
    int minutes = 0;           // minute rows of the period
    std::array<std::array<std::optional<double>, kSteps>, kFans> speed{};  // rpm
    std::array<std::optional<double>, kSteps> rise{};                      // C, per CPU-fan step
    std::optional<double> top_share;                                       // 0..1
};

// How many minutes at a step a median needs: 60, or half the period when that is shorter.
int MinutesNeeded(int period_minutes);

// What the period's summaries give: a speed only where its median turns the fan.
Baseline BaselineOf(const StepSummaries& s, int period_minutes);

// A sealed INI text, and back; nothing for a torn, altered or foreign text.
std::string BaselineText(const Baseline& b);
std::optional<Baseline> ParseBaseline(std::string_view text);

// Learns from the minutes as they come: the first BaselineMinutes rows from the first row that
// has the fans' steps.
class Learner {
  public:
    void Take(const history::MinuteRow& row);
    bool started() const { return started_; }
    int rows() const { return rows_; }
    const StepSummaries& summaries() const { return summaries_; }

    // What a restart resumes from, as a sealed INI text, and back.
    std::string ProgressText() const;
    bool ReadProgress(std::string_view text);

  private:
    bool started_ = false;
    int rows_ = 0;
    StepSummaries summaries_;
};

}  // namespace kelvane::maintenance
