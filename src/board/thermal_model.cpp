#include "board/thermal_model.h"

#include <algorithm>
#include <cmath>

namespace kelvane::board {
namespace {

constexpr int kTempBase = 0x29;
constexpr int kCountBase = 0x0D;
constexpr int kCountHighBase = 0x18;
constexpr int kFanControlBase = 0x15;
constexpr int kSixteenBitCounts = 0x0C;
constexpr int kDivisors = 0x0B;
constexpr double kPi = 3.14159265358979323846;

int Divisor(const RegisterFile& regs, int n) {
    const int d = regs[kDivisors];
    if (n == 0) return 1 << (d & 7);
    if (n == 1) return 1 << ((d >> 3) & 7);
    return (d & 0x40) != 0 ? 8 : 2;
}

std::uint8_t TemperatureByte(double t) {
    const long v = std::lround(std::clamp(t, -128.0, 127.0));
    return static_cast<std::uint8_t>(v & 0xFF);
}

}  // namespace

int ThermalModel::FanPwm(const RegisterFile& regs, bool newer_layout, int n, double t) {
    const std::uint8_t control = regs[kFanControlBase + n];
    if ((control & 0x80) == 0) return control & 0x7F;
    const int b = 0x60 + 8 * n;
    if (newer_layout) {
        // Off below S(0), the starting PWM up to S(1), then a straight ramp to full at S(2).
        const int s0 = regs[b], s1 = regs[b + 1], s2 = regs[b + 2];
        const int start = regs[b + 3] & 0x7F;
        if (t < s0) return 0;
        if (t < s1) return start;
        if (t >= s2 || s2 <= s1) return 127;
        return start + static_cast<int>((127 - start) * (t - s1) / (s2 - s1));
    }
    // Three steps between S(0) and S(3), full speed from S(3) on.
    if (t < regs[b]) return 0;
    if (t < regs[b + 1]) return std::min<int>(regs[b + 5], 127);
    if (t < regs[b + 2]) return std::min<int>(regs[b + 6], 127);
    if (t < regs[b + 3]) return std::min<int>(regs[b + 7], 127);
    return 127;
}

int ThermalModel::FanCount(double rpm, int divisor, bool sixteen_bit) {
    const int stopped = sixteen_bit ? 0xFFFF : 0xFF;
    if (rpm <= 0 || divisor <= 0) return stopped;
    const long count = std::lround(1350000.0 / (rpm * divisor));
    return static_cast<int>(std::clamp<long>(count, 1, stopped));
}

double ThermalModel::FanRpm(int n, int pwm) const {
    if (pwm < params_.stall_pwm || pwm <= 0) return 0;
    return params_.max_rpm[n] * (params_.spin + (1 - params_.spin) * pwm / 127.0);
}

void ThermalModel::Advance(RegisterFile& regs, bool newer_layout, long long now_ms) {
    if (!params_.enabled) return;
    for (int n = 0; n < 3; ++n) {
        if (!started_ || regs[kTempBase + n] != written_[n]) {
            temp_[n] = static_cast<std::int8_t>(regs[kTempBase + n]);
        }
    }
    if (!started_) {
        started_ = true;
        last_ms_ = now_ms;
    }
    // Whole-second steps keep the automatic fan curve from oscillating; a long pause is
    // cut short, since by then every channel has long settled.
    const long long max_ms = static_cast<long long>(params_.time_constant_s * 20000) + 1000;
    long long from = std::max(last_ms_, now_ms - max_ms);
    while (from < now_ms) {
        const long long to = std::min(from + 1000, now_ms);
        Step(regs, newer_layout, to / 1000.0, (to - from) / 1000.0);
        from = to;
    }
    last_ms_ = std::max(last_ms_, now_ms);
    Publish(regs, newer_layout);
}

void ThermalModel::Step(const RegisterFile& regs, bool newer_layout, double t_s, double dt_s) {
    const double keep = params_.time_constant_s > 0 ? std::exp(-dt_s / params_.time_constant_s) : 0;
    for (int n = 0; n < 3; ++n) {
        const double swing =
            1 + params_.wave * std::sin(2 * kPi * t_s / std::max(params_.period_s, 1.0) + 2.1 * n);
        // Cooling goes with the air a fan moves, so a stalled fan cools nothing.
        const int max_rpm = params_.max_rpm[n];
        const double airflow =
            max_rpm > 0 ? FanRpm(n, FanPwm(regs, newer_layout, n, temp_[n])) / max_rpm : 0;
        const double target =
            params_.ambient_c + params_.heat_c[n] * swing * (1 - params_.cooling * airflow);
        temp_[n] = target + (temp_[n] - target) * keep;
    }
}

void ThermalModel::Publish(RegisterFile& regs, bool newer_layout) {
    for (int n = 0; n < 3; ++n) {
        const std::uint8_t t = TemperatureByte(temp_[n]);
        regs[kTempBase + n] = t;
        written_[n] = t;
        const int pwm = FanPwm(regs, newer_layout, n, temp_[n]);
        const double rpm = FanRpm(n, pwm);
        const bool sixteen = (regs[kSixteenBitCounts] >> n & 1) != 0;
        const int count = FanCount(rpm, Divisor(regs, n), sixteen);
        regs[kCountBase + n] = static_cast<std::uint8_t>(count & 0xFF);
        if (sixteen) regs[kCountHighBase + n] = static_cast<std::uint8_t>(count >> 8);
    }
}

}  // namespace kelvane::board
