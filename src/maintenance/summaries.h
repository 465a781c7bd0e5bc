#pragma once
// Per-step summaries of normal minutes: the fans' speeds and the CPU's rise over the system at
// each software step, and how often the CPU fan was at the top step. The baseline's learning
// and the comparing window keep one each.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/profile.h"
#include "history/csv.h"
#include "maintenance/histogram.h"

namespace kelvane::maintenance {

// The software steps a normal tick chooses, as PWM values; the last is the top step.
inline constexpr std::array<int, 3> kStepPwm = {0, 4, 20};
inline constexpr int kSteps = 3;
inline constexpr int kTopStep = kSteps - 1;
// Fans 0 (system) and 1 (CPU); fan 2 is never stepped.
inline constexpr int kFans = 2;
// The step's index for a PWM value; -1 for none, or for one a tick never chooses.
int StepIndex(int pwm);

// What one minute row gives the notice, in bins: small enough to keep a window of them.
struct MinuteFacts {
    std::array<std::int8_t, kFans> step{-1, -1};  // step index of fans 0 and 1; -1 for none
    std::array<std::uint16_t, kFans> speed{};     // kSpeedScale bins
    std::uint16_t rise = 0;                       // kRiseScale bin, at the CPU fan's step
};
// A fan has a step only in a normal minute it spent at one step with its speed read.
MinuteFacts FactsOf(const history::MinuteRow& row);

class StepSummaries {
  public:
    StepSummaries();
    // `delta` -1 takes back a minute added before.
    void Add(const MinuteFacts& m, int delta = 1);
    const Histogram& speed(int fan, int step) const {
        return speed_[static_cast<std::size_t>(fan)][static_cast<std::size_t>(step)];
    }
    const Histogram& rise(int step) const { return rise_[static_cast<std::size_t>(step)]; }
    // Minutes with the CPU fan at one step, and of those at the top step.
    int cpu_minutes() const { return cpu_minutes_; }
    int top_minutes() const { return top_minutes_; }

    // As keys of an INI section, and back; Read is false for anything missing or damaged.
    std::string Text() const;
    bool Read(Profile& ini, const std::string& section);

  private:
    std::array<std::array<Histogram, kSteps>, kFans> speed_;
    std::array<Histogram, kSteps> rise_;
    int cpu_minutes_ = 0;
    int top_minutes_ = 0;
};

}  // namespace kelvane::maintenance
