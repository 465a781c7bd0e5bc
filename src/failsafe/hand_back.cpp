#include "failsafe/hand_back.h"

#include "base/runtime_error.h"
#include "chip/speaker.h"

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

namespace {

void WriteFans(ChipAccess& chip, const HandBack& values, DriverLock lock) {
    const std::uint16_t port = ToPort(chip.index_port());
    for (int i = 0; i < values.count; ++i) {
        const auto& [reg, value] = values.writes[static_cast<size_t>(i)];
        if (lock == DriverLock::Take)
            chip.WriteReg(reg, value);
        else
            chip.driver().WriteReg(port, reg, value);
    }
}

void SilenceSpeaker(PortDriver& driver) {
    try {
        driver.Outb(kSpeakerPort, SpeakerSilenced(driver.Inb(kSpeakerPort)));
    } catch (...) {
        // The fans came first; nothing more is tried.
    }
}

}  // namespace

HandBackOutcome WriteHandBack(ChipAccess& chip, const HandBack& values, DriverLock lock) {
    HandBackOutcome outcome = HandBackOutcome::NothingToHandBack;
    // Never where the chip says its monitor is not, whichever way the writes go.
    if (values.count > 0 && chip.monitor_withheld()) {
        outcome = HandBackOutcome::NotReached;
    } else if (values.count > 0) {
        try {
            WriteFans(chip, values, lock);
            outcome = HandBackOutcome::HandedBack;
        } catch (...) {
            outcome = HandBackOutcome::NotReached;
        }
    }
    if (lock == DriverLock::HeldForUs) SilenceSpeaker(chip.driver());
    chip.Close();
    return outcome;
}

}  // namespace kelvane
