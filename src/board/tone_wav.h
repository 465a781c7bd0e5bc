#pragma once
// The speaker's tunes as a WAV file a person can listen to: 8 kHz, 8-bit, mono square waves,
// appended tone by tone to one growing file.
#include <cstdint>
#include <string>
#include <vector>

namespace kelvane::board {

constexpr int kWavSampleRate = 8000;
constexpr int kWavHeaderBytes = 44;

std::vector<std::uint8_t> SquareWave(double frequency_hz, long long duration_ms);
std::vector<std::uint8_t> Silence(long long duration_ms);
// The 44-byte header of a file of data_bytes samples.
std::vector<std::uint8_t> WavHeader(std::uint32_t data_bytes);
// Appends samples to the file, starting it afresh when it is missing or is not a file of
// this format. False when it cannot be written.
bool AppendWav(const std::string& path, const std::vector<std::uint8_t>& samples);

}  // namespace kelvane::board
