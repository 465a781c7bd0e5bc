#pragma once
// What the options dialog tells the user when an Apply did not fully take effect. The
// start-up apply has no one to tell and stays silent.
#include <optional>
#include <string>

#include "base/int16.h"
#include "base/runtime_error.h"
#include "chip/apply_settings.h"

namespace kelvane {

// Empty when everything took effect. chip_error: the run-time error that abandoned the
// programming of the chip (and with it the topmost state and the Run value).
std::string ApplyFailureMessage(const ApplyOutcome& outcome, i16 execute_at_startup,
                                const std::optional<ErrorKind>& chip_error);

}  // namespace kelvane
