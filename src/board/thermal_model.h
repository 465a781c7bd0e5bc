#pragma once
// A deliberately simple machine so the demo looks alive: each channel's temperature moves
// towards ambient plus a heat load that its fan's PWM takes away, and each fan's count
// follows its PWM and divisor. The fan controller decides the PWM from register 0x15 + n
// and, in automatic mode, from the fan's parameter block in the layout the chip id implies.
#include <array>
#include <cstdint>

namespace kelvane::board {

using RegisterFile = std::array<std::uint8_t, 256>;

struct ThermalParams {
    bool enabled = false;
    double ambient_c = 28;
    std::array<double, 3> heat_c{30, 45, 20};  // rise over ambient with the fan stopped
    double cooling = 0.6;                      // share of the heat a fan at full PWM removes
    double time_constant_s = 30;
    std::array<int, 3> max_rpm{4800, 5400, 4200};  // at PWM 127
    int stall_pwm = 10;                            // below this a fan does not turn
    double spin = 0.35;  // share of max_rpm a turning fan has even at the lowest PWM
    double wave = 0.1;   // relative swing of the heat load
    double period_s = 90;
};

class ThermalModel {
  public:
    // Switching the model on starts every channel afresh from its register.
    void Configure(const ThermalParams& params) {
        if (!params_.enabled) started_ = false;
        params_ = params;
    }
    const ThermalParams& params() const { return params_; }
    bool enabled() const { return params_.enabled; }

    // Moves the machine to now_ms and writes temperatures and fan counts into regs. A
    // temperature register that no longer holds what the model last wrote (someone wrote
    // it) restarts the channel from that value.
    void Advance(RegisterFile& regs, bool newer_layout, long long now_ms);

    // The PWM (0..127) the fan controller drives fan n with at temperature t.
    static int FanPwm(const RegisterFile& regs, bool newer_layout, int n, double t);
    // What a fan turning at rpm counts with the given divisor (0xFF / 0xFFFF when stopped).
    static int FanCount(double rpm, int divisor, bool sixteen_bit);
    // Speed of fan n at the given PWM.
    double FanRpm(int n, int pwm) const;

  private:
    void Step(const RegisterFile& regs, bool newer_layout, double t_s, double dt_s);
    void Publish(RegisterFile& regs, bool newer_layout);

    ThermalParams params_;
    std::array<double, 3> temp_{};
    std::array<std::uint8_t, 3> written_{};
    bool started_ = false;
    long long last_ms_ = 0;
};

}  // namespace kelvane::board
