#include "failsafe/hand_back.h"

#include "base/runtime_error.h"

namespace kelvane {

PowerOnValues ReadPowerOnValues(ChipAccess& chip, bool newer_layout) {
    PowerOnValues values{};
    for (int i = 0; i < WatchedCount(newer_layout); ++i) {
        try {
            values[static_cast<size_t>(i)] =
                chip.ReadReg(kWatchedRegisters[static_cast<size_t>(i)]);
        } catch (const RuntimeError&) {
            return values;  // the driver is not there: no further read would reach it either
        }
    }
    return values;
}

HandBack HandBackValues(const PowerOnValues& before, const ApplyRecord& applied,
                        bool newer_layout) {
    HandBack out;
    for (int i = 0; i < WatchedCount(newer_layout); ++i) {
        const std::uint8_t reg = kWatchedRegisters[static_cast<size_t>(i)];
        const std::optional<std::uint8_t> value =
            applied.left[reg] ? applied.left[reg] : before[static_cast<size_t>(i)];
        if (value) out.writes[static_cast<size_t>(out.count++)] = {reg, *value};
    }
    return out;
}

bool WriteHandBackUnderHeldLock(ChipAccess& chip, const HandBack& values) {
    // The one write that bypasses ChipAccess keeps its rule: never where the monitor is not.
    if (chip.monitor_withheld()) return values.count == 0;
    try {
        const std::uint16_t port = ToPort(chip.index_port());
        for (int i = 0; i < values.count; ++i) {
            const auto& [reg, value] = values.writes[static_cast<size_t>(i)];
            chip.driver().WriteReg(port, reg, value);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool WriteHandBack(ChipAccess& chip, const HandBack& values) {
    try {
        for (int i = 0; i < values.count; ++i) {
            const auto& [reg, value] = values.writes[static_cast<size_t>(i)];
            chip.WriteReg(reg, value);
        }
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace kelvane
