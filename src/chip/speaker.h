#pragma once
// The alarm tune on the PC speaker: 8254 timer channel 2 (ports 0x42, 0x43) and the speaker
// gate bits of port 0x61.
#include <array>
#include <cstdint>

#include "base/int16.h"
#include "base/platform.h"
#include "chip/chip_access.h"

namespace kelvane {

inline constexpr double kTimerClockHz = 1193180.0;
inline constexpr double kBasePitchHz = 400.0;

struct NoteRecord {
    i16 note = 0;      // semitones above 400 Hz
    i16 duration = 0;  // milliseconds
};

std::array<NoteRecord, 5> StandardAlarmTune();

// Programs timer channel 2 for `frequency` Hz; the variable receives the divisor.
void SetSpeakerFrequency(ChipAccess& chip, std::int32_t& frequency);

// Sounds the note for its duration (blocking), then silences the speaker.
void PlayNote(ChipAccess& chip, Clock& clock, NoteRecord& note);

inline constexpr int kSpeakerPort = 0x61;
inline constexpr int kSpeakerBits = 0x03;  // timer 2 gate and speaker data

// Port 0x61's value with the speaker's gate bits cleared, the others kept.
constexpr std::uint8_t SpeakerSilenced(std::uint8_t port61) {
    return static_cast<std::uint8_t>(port61 & ~kSpeakerBits);
}

// Clears the speaker's gate bits of port 0x61, keeping the others.
void SpeakerOff(ChipAccess& chip);

}  // namespace kelvane
