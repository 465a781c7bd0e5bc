#pragma once
// Raw hardware-monitor registers turned into the numbers the monitor shows, compares and
// logs: temperatures in whole degrees Celsius, fan counts and speeds, the limit registers
// and the voltage inputs. Every register access goes through f.chip.
#include <cstdint>

#include "base/int16.h"
#include "state/form1.h"

namespace kelvane {

// Reads the divisor register 0x0B once into g_FanDivisor.
void InitFanDivisors(Form1& f);

// Channel n (0..2): the temperature, clamped to 0 above 127 and translated through
// ReadingTable when the channel's record has an expression.
i16 ReadTemperature(Form1& f, int n);

// Channel n: the tachometer count, 16 bits wide on the newer register layout when the
// chip says so, else 8 bits.
std::int32_t ReadFanCount(Form1& f, int n);

// Revolutions per minute for a count of channel n; 0 for no fan, a stalled fan or an
// overflowed counter.
std::int32_t FanSpeed(Form1& f, int n, std::int32_t count);

// The ten fan-control registers used as alarm limits, into g_RegSnapshot.
void ReadLimitRegisters(Form1& f);

// Voltage input v (0..8) in volts, scaled for its nominal rail.
double ReadVoltage(Form1& f, int v);
// Its register 0x20 + v as read, before scaling.
int ReadVoltageRegister(Form1& f, int v);
// The same scaling for a register value read earlier (a byte, or a mean of bytes).
double VoltsFromRaw(const Settings& s, int v, double raw);

// Draws the fan speed of channel g_Cur_i and keeps the value drawn, which the fan checks
// compare: SystemTempFan (channel 0), CPUTempFan (channel 1) and the monitor's fan_speeds.
void ShowFanSpeed(Form1& f, Surface& dest, std::int32_t speed);

}  // namespace kelvane
