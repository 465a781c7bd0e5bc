#include "options/apply_failure.h"

namespace kelvane {

std::string ApplyFailureMessage(const ApplyOutcome& outcome, i16 execute_at_startup,
                                const std::optional<ErrorKind>& chip_error) {
    std::string failed, advice;
    if (!outcome.settings_saved) {
        failed +=
            "The settings could not be saved to kelvane.ini: Kelvane will start with its "
            "old settings next time.\n";
        advice = "Start Kelvane as administrator to save its settings.";
    }
    if (chip_error) {
        failed += *chip_error == ErrorKind::LibraryCall
                      ? "The fan controller could not be programmed: the hardware monitor "
                        "driver (brantelvio.dll) cannot be reached.\n"
                      : "The fan controller could not be programmed: a setting does not fit "
                        "its register.\n";
        failed += "The topmost setting and starting with Windows were not applied either.\n";
        if (advice.empty())
            advice = *chip_error == ErrorKind::LibraryCall
                         ? "Check that brantelvio.dll is in Kelvane's folder and its driver "
                           "is installed, then apply again."
                         : "Check the fan settings, then apply again.";
    } else if (!outcome.run_value_set) {
        failed += (execute_at_startup & 2) != 0
                      ? "Kelvane could not be set to start with Windows.\n"
                      : "Kelvane could not be kept from starting with Windows.\n";
        advice = "Start Kelvane as administrator to save its settings.";
    }
    if (failed.empty()) return {};
    return failed + "\n" + advice;
}

}  // namespace kelvane
