#pragma once
// A driver library that appears or recovers after start-up (an installer finishing late, the
// library copied in by hand): the chip steps start-up could not take run on the first tick
// that reaches the chip, before that tick monitors.
#include "state/form1.h"

namespace kelvane {

// Identification (and where the chip has its monitor), the fan divisors, the register
// snapshot, the fan records again with the right layout's keys (or the whole loader when the
// port program stopped it), then kelvane.dat and the fans by the start-up's scope rules.
// Raises RuntimeError while the chip still cannot be reached.
void RunStartupChipSteps(Form1& f);

class LateChipSteps final : public TickListener {
  public:
    void BeforeTick(Form1& f) override;
    void AfterTick(const Form1&) override {}
};

}  // namespace kelvane
