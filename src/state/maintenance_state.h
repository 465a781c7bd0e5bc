#pragma once
// What the maintenance notice found at its last comparison, as the tray, About, the metrics
// file and the Event Log show it. A notice is never a fault: nothing here touches the status.
#include <array>
#include <cstdint>
#include <limits>
#include <string>

namespace kelvane {

enum class MaintenanceReason { SystemFanSlower, CpuFanSlower, CoolingClogged };

inline constexpr std::array<MaintenanceReason, 3> kMaintenanceReasons = {
    MaintenanceReason::SystemFanSlower, MaintenanceReason::CpuFanSlower,
    MaintenanceReason::CoolingClogged};

// The metrics label value: "system_fan_slower", "cpu_fan_slower", "cooling_clogged".
inline const char* MaintenanceReasonName(MaintenanceReason reason) {
    switch (reason) {
        case MaintenanceReason::SystemFanSlower:
            return "system_fan_slower";
        case MaintenanceReason::CpuFanSlower:
            return "cpu_fan_slower";
        case MaintenanceReason::CoolingClogged:
            return "cooling_clogged";
    }
    return "unknown";
}

struct MaintenanceState {
    static constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
    bool baseline_ready = false;
    // Fans 0 and 1: the window's median speed over the baseline's, at the fan's current step.
    std::array<double, 2> fan_ratio{kUnknown, kUnknown};
    // Fans 0 and 1: the baseline speed at the fan's current step, which the History window
    // draws so that a technician sees the drift.
    std::array<double, 2> fan_baseline_rpm{kUnknown, kUnknown};
    // The CPU's rise over the system temperature above its baseline at the same step, in C.
    double rise_excess = kUnknown;
    // Per reason: whether its notice holds, its words, and the same short enough for the
    // tray tip beside the readings and the status.
    std::array<bool, 3> notice{};
    std::array<std::string, 3> text;
    std::array<std::string, 3> tip;
    // The baseline file, while it is there but torn or unreadable; empty otherwise.
    std::string baseline_unreadable;
    // Times the baseline was started over since the program started.
    std::uint32_t started_over = 0;

    bool any_notice() const { return notice[0] || notice[1] || notice[2]; }
};

}  // namespace kelvane
