#pragma once
// Timer channel 2 of the 8254 and the speaker gate bits of port 0x61: enough of both to
// tell which tones a program played and for how long.
#include <cstdint>
#include <functional>
#include <vector>

namespace kelvane::board {

struct Tone {
    int divisor;
    double frequency_hz;
    long long duration_ms;
};

class SpeakerTimer {
  public:
    static constexpr double kInputClockHz = 1193180.0;

    using Listener = std::function<void(const Tone&, long long start_ms)>;

    std::uint8_t ReadPort61() const { return port61_; }
    void WritePort61(std::uint8_t value, long long now_ms);
    void WriteControl(std::uint8_t control_word);
    void WriteCounter(std::uint8_t value, long long now_ms);

    const std::vector<Tone>& tones() const { return tones_; }
    void clear_tones() { tones_.clear(); }
    bool sounding() const { return sounding_; }
    // Called whenever a tone ends, with the time it started.
    void set_listener(Listener listener) { listener_ = std::move(listener); }
    void set_port61(std::uint8_t value) { port61_ = value; }

  private:
    void Update(long long now_ms);
    void Finish(long long now_ms);

    std::uint8_t port61_ = 0;
    int access_mode_ = 3;  // 1 low byte only, 2 high byte only, 3 low then high
    bool expect_low_ = true;
    std::uint8_t low_ = 0;
    int divisor_ = 0;  // 0 until a count has been loaded
    bool sounding_ = false;
    int tone_divisor_ = 0;
    long long tone_start_ = 0;
    int writes_since_start_ = 0;  // timer writes since the sounding tone began
    std::vector<Tone> tones_;
    Listener listener_;
};

}  // namespace kelvane::board
