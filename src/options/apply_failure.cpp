#include "options/apply_failure.h"

namespace kelvane {

std::string ApplyFailureMessage(const ApplyOutcome& outcome, i16 execute_at_startup,
                                const std::optional<ErrorKind>& chip_error) {
    constexpr const char* kAsAdministrator =
        "Start Kelvane as administrator to save its settings.\n";
    std::string failed, advice;
    if (!outcome.settings_saved) {
        failed +=
            "The settings could not be saved to kelvane.ini: Kelvane will start with its "
            "old settings next time.\n";
        advice += kAsAdministrator;
    }
    if (chip_error) {
        const bool unreachable = *chip_error == ErrorKind::LibraryCall;
        failed += unreachable ? "The fan controller could not be programmed: the hardware "
                                "monitor driver (brantelvio.dll) cannot be reached.\n"
                              : "The fan controller could not be programmed: an installation "
                                "setting in kelvane.ini does not fit the chip.\n";
        failed += "The topmost setting and starting with Windows were not applied either.\n";
        advice += unreachable ? "Check that brantelvio.dll is in Kelvane's folder and its "
                                "driver is installed, then apply again.\n"
                              : "Have the installation's fan settings checked, then apply "
                                "again.\n";
    } else if (!outcome.run_value_set) {
        failed += (execute_at_startup & 2) != 0
                      ? "Kelvane could not be set to start with Windows.\n"
                      : "Kelvane could not be kept from starting with Windows.\n";
        if (outcome.settings_saved) advice += kAsAdministrator;
    }
    if (failed.empty()) return {};
    return failed + "\n" + advice;
}

}  // namespace kelvane
