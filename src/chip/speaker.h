#pragma once
// The alarm tune on the PC speaker: 8254 timer channel 2 (ports 0x42, 0x43) and the speaker
// gate bits of port 0x61.
#include <array>
#include <cstdint>

#include "app/form1.h"

namespace kelvane {

inline constexpr double kTimerClockHz = 1193180.0;
inline constexpr double kBasePitchHz = 400.0;

std::array<NoteRecord, 5> StandardAlarmTune();

// Programs timer channel 2 for `frequency` Hz; the variable receives the divisor.
void SetSpeakerFrequency(Form1& f, std::int32_t& frequency);

// Sounds the note for its duration (blocking), then silences the speaker.
void PlayNote(Form1& f, NoteRecord& note);

// Clears the speaker's gate bits of port 0x61, keeping the others.
void SpeakerOff(Form1& f);

}  // namespace kelvane
