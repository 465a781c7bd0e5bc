#include "chip/speaker.h"

#include <cmath>

#include "base/byte.h"
#include "base/rounding.h"

namespace kelvane {
namespace {

constexpr int kTimerControlPort = 0x43;
constexpr int kTimer2Port = 0x42;
constexpr int kTimer2SquareWave = 0xB6;  // channel 2, low then high byte, mode 3, binary

}  // namespace

void SpeakerOff(ChipAccess& chip) {
    const ChipAccess::Lock unit = chip.Unit();
    chip.Outb(kSpeakerPort, SpeakerSilenced(chip.Inb(kSpeakerPort)));
}

std::array<NoteRecord, 5> StandardAlarmTune() {
    return {{{14, 150}, {16, 150}, {12, 150}, {0, 150}, {7, 300}}};
}

void SetSpeakerFrequency(ChipAccess& chip, std::int32_t& frequency) {
    const std::int32_t divisor = RoundToInt32(Divide(kTimerClockHz, frequency));
    frequency = divisor;
    const ChipAccess::Lock unit = chip.Unit();
    chip.Outb(kTimerControlPort, kTimer2SquareWave);
    // Each byte is checked as it goes out: a divisor above 65535 leaves the low byte written.
    chip.Outb(kTimer2Port, divisor % 256);
    chip.Outb(kTimer2Port, divisor / 256);
}

void PlayNote(ChipAccess& chip, Clock& clock, NoteRecord& note) {
    {
        const ChipAccess::Lock unit = chip.Unit();
        const int v = chip.Inb(kSpeakerPort);
        chip.Outb(kSpeakerPort, v | kSpeakerBits);
    }
    try {
        std::int32_t frequency = RoundToInt32(std::pow(2.0, note.note / 12.0) * kBasePitchHz);
        SetSpeakerFrequency(chip, frequency);
    } catch (const RuntimeError&) {
        // Never leave the speaker sounding a stale tone.
        SpeakerOff(chip);
        throw;
    }
    clock.Sleep(static_cast<long>(note.duration));
    SpeakerOff(chip);
}

}  // namespace kelvane
