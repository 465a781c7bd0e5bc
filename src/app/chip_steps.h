#pragma once
// The chip's start-up steps, in one routine for start-up and for a driver library that is
// reached only after it (an installer finishing late, the library copied in by hand, a
// service started before the port driver): whichever runs them, the fans' power-on values
// are noted before the first write.
#include "failsafe/fan_watch.h"
#include "state/form1.h"

namespace kelvane {

enum class ChipStepsAt {
    Startup,    // the window's load: a failing step is skipped
    FirstReach  // the first tick that reaches the chip: an unreachable chip raises, and the
                // steps run again on the next tick
};

// Identification (and where the chip has its monitor), the power-on values noted for `watch`,
// the settings with kelvane.dat (at the first reach only the fan records, unless the port
// program stopped the loader), the fan divisors, the fans by the start-up's scope rules, and
// the reading tables. At the first reach the register snapshot is taken too, and topmost and
// the Run value are left as start-up left them.
void RunChipSteps(Form1& f, FanWatch* watch, ChipStepsAt at);

// Runs the steps before the first tick that reaches the chip monitors.
class LateChipSteps final : public TickListener {
  public:
    explicit LateChipSteps(FanWatch* watch = nullptr) : watch_(watch) {}
    void BeforeTick(Form1& f) override;
    void AfterTick(const Form1&) override {}

  private:
    FanWatch* watch_;
};

}  // namespace kelvane
