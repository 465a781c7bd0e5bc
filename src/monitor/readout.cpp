#include "monitor/readout.h"

#include "base/rounding.h"
#include "base/runtime_error.h"
#include "chip/led_display.h"
#include "state/channels.h"

namespace kelvane {
namespace {

constexpr int kChannels = 3;
constexpr double kSpeedConstant = 1350000.0;
constexpr double kVoltsPerStep = 0.016;

void CheckIndex(int i, int count) {
    if (i < 0 || i >= count) Raise(ErrorKind::Subscript, "channel");
}

}  // namespace

void InitFanDivisors(Form1& f) {
    const int d = f.chip.ReadReg(0x0B);
    f.g_FanDivisor[0] = static_cast<i16>(1 << (d & 7));
    f.g_FanDivisor[1] = static_cast<i16>(1 << ((d >> 3) & 7));
    f.g_FanDivisor[2] = (d & 0x40) != 0 ? 8 : 2;
}

i16 ReadTemperature(Form1& f, int n) {
    CheckIndex(n, kChannels);
    f.chip.WriteReg(0x51, 0x38);
    f.chip.WriteReg(0x13, 0x77);
    int t = f.chip.ReadReg(0x29 + n);
    if (t > 127) t = 0;  // top bit set: below zero, shown as 0
    if (ChannelExpression(f, n) != nullptr) return f.ReadingTable[static_cast<size_t>(t * 3 + n)];
    return static_cast<i16>(t);
}

std::int32_t ReadFanCount(Form1& f, int n) {
    CheckIndex(n, kChannels);
    std::int32_t c = f.chip.ReadReg(0x0D + n);
    if (IsTrue(f.KelvaneFanFlag)) {
        const int wide = f.chip.ReadReg(0x0C);
        if ((wide >> n) & 1) c = f.chip.ReadReg(0x18 + n) * 256 + c;
    }
    return c;
}

std::int32_t FanSpeed(Form1& f, int n, std::int32_t count) {
    CheckIndex(n, kChannels);
    const long long pulses = static_cast<long long>(f.g_FanDivisor[static_cast<size_t>(n)]) * count;
    if (pulses == 0 || count == 255 || count == 65535) return 0;
    return RoundToInt32(Divide(kSpeedConstant, static_cast<double>(pulses)));
}

void ReadLimitRegisters(Form1& f) {
    for (size_t i = 0; i < kSnapshotRegisters.size(); ++i)
        f.g_RegSnapshot[i] = f.chip.ReadReg(kSnapshotRegisters[i]);
}

int ReadVoltageRegister(Form1& f, int v) {
    CheckIndex(v, static_cast<int>(f.settings.g_Vin.size()));
    return f.chip.ReadReg(0x20 + v);
}

double ReadVoltage(Form1& f, int v) {
    return VoltsFromRaw(f.settings, v, ReadVoltageRegister(f, v));
}

double VoltsFromRaw(const Settings& s, int v, double raw) {
    CheckIndex(v, static_cast<int>(s.g_Vin.size()));
    const double x = raw * kVoltsPerStep;
    const VoltageFactors& k = s.factors;
    // A rail whose divisor factor is zero has no defined scaling: show the pin voltage.
    switch (s.g_Vin[static_cast<size_t>(v)].DefaultTemp) {
        case 500:
            return k.P5VRb == 0.0 ? x : x * (k.P5VRb + k.P5VRa) / k.P5VRb;
        case 1200:
            return k.P12VRb == 0.0 ? x : x * (k.P12VRb + k.P12VRa) / k.P12VRb;
        case -500:
            return k.N5VRf == 0.0 ? x : (x - k.N5VREF) * k.N5VRin / k.N5VRf + x;
        case -1200:
            return k.N12VRf == 0.0 ? x : (x - k.N12VREF) * k.N12VRin / k.N12VRf + x;
        default:
            return x;
    }
}

void ShowFanSpeed(Form1& f, Surface& dest, std::int32_t speed) {
    const std::int32_t shown = DrawFanSpeed(f.sys.surfaces, dest, speed);
    if (f.g_Cur_i == 0) f.SystemTempFan = shown;
    if (f.g_Cur_i == 1) f.CPUTempFan = shown;
    if (f.g_Cur_i >= 0 && f.g_Cur_i < 3)
        f.monitor.fan_speeds[static_cast<std::size_t>(f.g_Cur_i)] = shown;
}

}  // namespace kelvane
