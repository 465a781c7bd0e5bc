#include "chip/speaker.h"

#include <cmath>

#include "app/byte.h"
#include "app/rounding.h"

namespace kelvane {
namespace {

constexpr int kSpeakerPort = 0x61;
constexpr int kTimerControlPort = 0x43;
constexpr int kTimer2Port = 0x42;
constexpr int kTimer2SquareWave = 0xB6;  // channel 2, low then high byte, mode 3, binary
constexpr int kSpeakerBits = 0x03;       // timer 2 gate and speaker data

}  // namespace

void SpeakerOff(Form1& f) {
    const int v = f.chip.Inb(kSpeakerPort);
    f.chip.Outb(kSpeakerPort, v & ~kSpeakerBits & 0xFF);
}

std::array<NoteRecord, 5> StandardAlarmTune() {
    return {{{14, 150}, {16, 150}, {12, 150}, {0, 150}, {7, 300}}};
}

void SetSpeakerFrequency(Form1& f, std::int32_t& frequency) {
    const std::int32_t divisor = RoundToInt32(Divide(kTimerClockHz, frequency));
    frequency = divisor;
    f.chip.Outb(kTimerControlPort, kTimer2SquareWave);
    // Each byte is checked as it goes out: a divisor above 65535 leaves the low byte written.
    f.chip.Outb(kTimer2Port, divisor % 256);
    f.chip.Outb(kTimer2Port, divisor / 256);
}

void PlayNote(Form1& f, NoteRecord& note) {
    const int v = f.chip.Inb(kSpeakerPort);
    f.chip.Outb(kSpeakerPort, v | kSpeakerBits);
    try {
        std::int32_t frequency = RoundToInt32(std::pow(2.0, note.note / 12.0) * kBasePitchHz);
        SetSpeakerFrequency(f, frequency);
    } catch (const RuntimeError&) {
        // Never leave the speaker sounding a stale tone.
        SpeakerOff(f);
        throw;
    }
    f.sys.clock.Sleep(static_cast<long>(note.duration));
    SpeakerOff(f);
}

}  // namespace kelvane
