#include "board/tone_wav.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace kelvane::board {
namespace {

constexpr std::uint8_t kMid = 128;
constexpr std::uint8_t kSwing = 48;  // well short of full scale: it is an alarm, not a test of ears
// A speaker left on for hours is still one tone; nobody wants hours of it in the file.
constexpr long long kLongestToneMs = 10000;

long long SampleCount(long long duration_ms) {
    return std::clamp<long long>(duration_ms, 0, kLongestToneMs) * kWavSampleRate / 1000;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

bool WriteFresh(const std::string& path, const std::vector<std::uint8_t>& samples) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::vector<std::uint8_t> header = WavHeader(static_cast<std::uint32_t>(samples.size()));
    out.write(reinterpret_cast<const char*>(header.data()),
              static_cast<std::streamsize>(header.size()));
    out.write(reinterpret_cast<const char*>(samples.data()),
              static_cast<std::streamsize>(samples.size()));
    return static_cast<bool>(out);
}

}  // namespace

std::vector<std::uint8_t> SquareWave(double frequency_hz, long long duration_ms) {
    std::vector<std::uint8_t> samples(static_cast<size_t>(SampleCount(duration_ms)));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double phase = std::fmod(i * frequency_hz / kWavSampleRate, 1.0);
        samples[i] = phase < 0.5 ? kMid + kSwing : kMid - kSwing;
    }
    return samples;
}

std::vector<std::uint8_t> Silence(long long duration_ms) {
    return std::vector<std::uint8_t>(static_cast<size_t>(SampleCount(duration_ms)), kMid);
}

std::vector<std::uint8_t> WavHeader(std::uint32_t data_bytes) {
    std::vector<std::uint8_t> h;
    const auto tag = [&](const char* t) { h.insert(h.end(), t, t + 4); };
    tag("RIFF");
    Put32(h, 36 + data_bytes);
    tag("WAVE");
    tag("fmt ");
    Put32(h, 16);
    Put16(h, 1);  // PCM
    Put16(h, 1);  // mono
    Put32(h, kWavSampleRate);
    Put32(h, kWavSampleRate);  // bytes per second
    Put16(h, 1);               // block align
    Put16(h, 8);               // bits per sample
    tag("data");
    Put32(h, data_bytes);
    return h;
}

bool AppendWav(const std::string& path, const std::vector<std::uint8_t>& samples) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!f) return WriteFresh(path, samples);
    std::vector<char> header(kWavHeaderBytes);
    f.read(header.data(), kWavHeaderBytes);
    const std::vector<std::uint8_t> expected = WavHeader(0);
    // Everything but the two size fields must be ours.
    const bool ours = f.gcount() == kWavHeaderBytes &&
                      std::equal(expected.begin(), expected.begin() + 4, header.begin()) &&
                      std::equal(expected.begin() + 8, expected.begin() + 40, header.begin() + 8);
    if (!ours) {
        f.close();
        return WriteFresh(path, samples);
    }
    f.clear();
    f.seekp(0, std::ios::end);
    const long long end = static_cast<long long>(f.tellp());
    f.write(reinterpret_cast<const char*>(samples.data()),
            static_cast<std::streamsize>(samples.size()));
    const std::uint32_t data_bytes =
        static_cast<std::uint32_t>(end - kWavHeaderBytes + samples.size());
    const std::vector<std::uint8_t> sizes = WavHeader(data_bytes);
    f.seekp(4);
    f.write(reinterpret_cast<const char*>(sizes.data() + 4), 4);
    f.seekp(40);
    f.write(reinterpret_cast<const char*>(sizes.data() + 40), 4);
    return static_cast<bool>(f);
}

}  // namespace kelvane::board
