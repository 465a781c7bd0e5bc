#include "maintenance/summaries.h"

#include <charconv>

namespace kelvane::maintenance {
namespace {

std::string SpeedKey(int fan, int step) {
    return "Speed" + std::to_string(fan) + "Step" +
           std::to_string(kStepPwm[static_cast<std::size_t>(step)]);
}

std::string RiseKey(int step) {
    return "RiseStep" + std::to_string(kStepPwm[static_cast<std::size_t>(step)]);
}

std::optional<int> Whole(const std::string& text) {
    int n = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), n);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || text.empty() || n < 0)
        return std::nullopt;
    return n;
}

}  // namespace

int StepIndex(int pwm) {
    for (int i = 0; i < kSteps; ++i)
        if (kStepPwm[static_cast<std::size_t>(i)] == pwm) return i;
    return -1;
}

MinuteFacts FactsOf(const history::MinuteRow& row) {
    MinuteFacts m;
    if (!row.has_step) return m;
    for (int n = 0; n < kFans; ++n) {
        const auto i = static_cast<std::size_t>(n);
        const history::Stat& speed = row.stat[history::kFirstFan + i];
        if (!speed.present) continue;
        m.step[i] = static_cast<std::int8_t>(StepIndex(row.step[i]));
        m.speed[i] = static_cast<std::uint16_t>(kSpeedScale.BinOf(speed.mean));
    }
    const history::Stat &system = row.stat[0], &cpu = row.stat[1];
    if (!system.present || !cpu.present)
        m.step[1] = -1;
    else
        m.rise = static_cast<std::uint16_t>(kRiseScale.BinOf(cpu.mean - system.mean));
    return m;
}

StepSummaries::StepSummaries()
    : speed_{{{Histogram(kSpeedScale), Histogram(kSpeedScale), Histogram(kSpeedScale)},
              {Histogram(kSpeedScale), Histogram(kSpeedScale), Histogram(kSpeedScale)}}},
      rise_{Histogram(kRiseScale), Histogram(kRiseScale), Histogram(kRiseScale)} {}

void StepSummaries::Add(const MinuteFacts& m, int delta) {
    for (std::size_t n = 0; n < kFans; ++n)
        if (m.step[n] >= 0) speed_[n][static_cast<std::size_t>(m.step[n])].Add(m.speed[n], delta);
    if (m.step[1] < 0) return;
    rise_[static_cast<std::size_t>(m.step[1])].Add(m.rise, delta);
    cpu_minutes_ += delta;
    if (m.step[1] == kTopStep) top_minutes_ += delta;
}

std::string StepSummaries::Text() const {
    std::string text;
    for (int n = 0; n < kFans; ++n)
        for (int s = 0; s < kSteps; ++s) text += SpeedKey(n, s) + "=" + speed(n, s).Text() + "\r\n";
    for (int s = 0; s < kSteps; ++s) text += RiseKey(s) + "=" + rise(s).Text() + "\r\n";
    text += "CpuMinutes=" + std::to_string(cpu_minutes_) + "\r\n";
    text += "TopMinutes=" + std::to_string(top_minutes_) + "\r\n";
    return text;
}

bool StepSummaries::Read(Profile& ini, const std::string& section) {
    // A key the text lacks reads as this, which no histogram's text is.
    const std::string missing = "-";
    bool ok = true;
    for (int n = 0; n < kFans; ++n)
        for (int s = 0; s < kSteps; ++s)
            ok = ok && speed_[static_cast<std::size_t>(n)][static_cast<std::size_t>(s)].Read(
                           ini.GetString(section, SpeedKey(n, s), missing));
    for (int s = 0; s < kSteps; ++s)
        ok = ok &&
             rise_[static_cast<std::size_t>(s)].Read(ini.GetString(section, RiseKey(s), missing));
    const auto cpu = Whole(ini.GetString(section, "CpuMinutes", missing));
    const auto top = Whole(ini.GetString(section, "TopMinutes", missing));
    if (!ok || !cpu || !top || *top > *cpu) return false;
    cpu_minutes_ = *cpu;
    top_minutes_ = *top;
    return true;
}

}  // namespace kelvane::maintenance
