#include "state/form1.h"

#include <utility>

#include "base/failure_policy.h"

namespace kelvane {

Form1::Form1(Services& services, std::string folder, std::string exe)
    : sys(services), program_folder(std::move(folder)), exe_name(std::move(exe)) {}

void TellApplied(Form1& f) {
    for (TickListener* listener : f.tick_listeners) ContainErrors([&] { listener->AfterApply(f); });
}

}  // namespace kelvane
