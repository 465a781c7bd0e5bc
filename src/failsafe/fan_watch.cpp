#include "failsafe/fan_watch.h"

#include <utility>

#include "base/runtime_error.h"
#include "failsafe/reprogram.h"

namespace kelvane {

FanWatch::FanWatch(Form1& f, std::function<long long()> now_ms) : f_(f), now_(std::move(now_ms)) {}

void FanWatch::NotePowerOnValues() {
    const bool newer_layout = IsTrue(f_.KelvaneFanFlag);
    const auto read = [&] { return ReadPowerOnValues(f_.chip, newer_layout); };
    power_on_ = store_ != nullptr ? store_->Recall(newer_layout, read) : read();
}

bool FanWatch::HandBack(bool tell) {
    if (ended_.exchange(true)) return false;
    const HandBackOutcome outcome =
        WriteHandBack(f_.chip, HandBackValues(power_on_, f_.last_apply, IsTrue(f_.KelvaneFanFlag)),
                      DriverLock::Take);
    if (tell)
        for (FanWatchEvents* e : events_) e->HandedBack(f_, outcome);
    return outcome != HandBackOutcome::NotReached;
}

bool FanWatch::HandBackUnderHeldLock() {
    if (ended_.exchange(true)) return false;
    return WriteHandBack(f_.chip,
                         HandBackValues(power_on_, f_.last_apply, IsTrue(f_.KelvaneFanFlag)),
                         DriverLock::HeldForUs) != HandBackOutcome::NotReached;
}

// Only a fan the last apply put in automatic mode has a block to compare: in software mode
// the apply wrote nothing there, and the monitor writes the control register itself.
bool FanWatch::Lost(int fan, const std::array<std::int32_t, 10>& limits) const {
    const FanApplyRecord& applied = f_.last_apply.fans[static_cast<size_t>(fan)];
    if (!applied.covered || applied.settings.Mode != 0) return false;
    const int b = 0x60 + 8 * fan;
    for (int k = 0; k < 5; ++k) {
        const auto written = applied.LastWrite(b + k);
        if (written && *written != limits[static_cast<size_t>(fan * 5 + k)]) return true;
    }
    return false;
}

bool FanWatch::Due(int fan, long long now) const {
    const FanState& s = fans_[static_cast<size_t>(fan)];
    return !s.last_restore_ms || now - *s.last_restore_ms >= kRestoreGapMs;
}

void FanWatch::Check(const std::array<std::int32_t, 10>& limits, RestoreReason reason) {
    const long long now = now_();
    std::array<bool, 3> restore{};
    bool newly_gave_up = false;
    for (int n = 0; n < 2; ++n) {
        FanState& s = fans_[static_cast<size_t>(n)];
        const bool lost = Lost(n, limits);
        const bool awaited = std::exchange(s.awaiting_check, false);
        if (!lost || s.gave_up) continue;
        if (awaited) {
            s.gave_up = newly_gave_up = true;
            continue;
        }
        restore[static_cast<size_t>(n)] = Due(n, now);
    }
    if (newly_gave_up && !std::exchange(told_not_kept_, true))
        for (FanWatchEvents* e : events_) e->SettingsNotKept(f_);
    if (!restore[0] && !restore[1]) return;
    // The third fan's block is never read back: a chip that lost the others lost it too.
    restore[2] = f_.last_apply.fans[2].covered && Due(2, now);
    for (size_t n = 0; n < 3; ++n)
        if (restore[n]) fans_[n].last_restore_ms = now;
    try {
        ReprogramChip(f_, restore);
    } catch (const RuntimeError&) {
        return;  // a restore that did not run proves nothing about the chip; it waits its minute
    }
    // The next reads tell whether the chip keeps what it was given.
    fans_[0].awaiting_check = restore[0];
    fans_[1].awaiting_check = restore[1];
    ++restores_;
    last_restore_time_ = f_.sys.clock.ShortDate() + " " + f_.sys.clock.LongTime();
    for (FanWatchEvents* e : events_) e->SettingsRestored(f_, reason);
}

void FanWatch::AfterTick(const Form1&) {
    if (ended_.load() || f_.monitor.hardware_unreachable) return;
    Check(f_.g_RegSnapshot, RestoreReason::RegistersChanged);
}

void FanWatch::OnResume() {
    if (ended_.load()) return;
    const long long now = now_();
    if (last_resume_ms_ && now - *last_resume_ms_ < kRestoreGapMs) return;
    last_resume_ms_ = now;
    std::array<std::int32_t, 10> limits{};
    try {
        for (size_t i = 0; i < limits.size(); ++i)
            limits[i] = f_.chip.ReadReg(kSnapshotRegisters[i]);
    } catch (const RuntimeError&) {
        return;  // the next tick reads them, or shows the chip unreachable
    }
    Check(limits, RestoreReason::Resume);
}

void FanWatch::AddDetails(const Form1&, std::vector<std::string>& lines) const {
    std::string line = "Fan settings restored: ";
    if (restores_ == 0)
        line += "never";
    else
        line += std::to_string(restores_) + (restores_ == 1 ? " time" : " times") + ", last " +
                last_restore_time_;
    if (told_not_kept_) line += " (the chip does not keep the fan settings)";
    lines.push_back(line);
}

}  // namespace kelvane
