#include "board/speaker_timer.h"

namespace kelvane::board {
namespace {

// A program switches the gate on and then loads the next note's count: control word, low
// byte, high byte. A count completed within these writes after the gate is the same note,
// not a short blip of the previous one, however long a busy machine took between them.
constexpr int kSettleWrites = 3;

}  // namespace

void SpeakerTimer::WritePort61(std::uint8_t value, long long now_ms) {
    port61_ = value;
    Update(now_ms);
}

void SpeakerTimer::WriteControl(std::uint8_t control_word) {
    ++writes_since_start_;
    if ((control_word >> 6) != 2) return;  // another channel, or read-back
    const int access = (control_word >> 4) & 3;
    if (access == 0) return;  // counter latch: the count is unchanged
    access_mode_ = access;
    expect_low_ = true;
}

void SpeakerTimer::WriteCounter(std::uint8_t value, long long now_ms) {
    ++writes_since_start_;
    int count = -1;
    if (access_mode_ == 1) {
        count = value;
    } else if (access_mode_ == 2) {
        count = value << 8;
    } else if (expect_low_) {
        low_ = value;
        expect_low_ = false;
    } else {
        count = low_ | (value << 8);
        expect_low_ = true;
    }
    if (count < 0) return;
    divisor_ = count == 0 ? 65536 : count;  // a zero count divides by 2^16
    Update(now_ms);
}

void SpeakerTimer::Update(long long now_ms) {
    const bool on = (port61_ & 0x03) == 0x03 && divisor_ != 0;
    if (sounding_ && !on) {
        Finish(now_ms);
    } else if (!sounding_ && on) {
        sounding_ = true;
        tone_divisor_ = divisor_;
        tone_start_ = now_ms;
        writes_since_start_ = 0;
    } else if (sounding_ && divisor_ != tone_divisor_) {
        if (writes_since_start_ <= kSettleWrites) {
            tone_divisor_ = divisor_;
        } else {
            Finish(now_ms);
            sounding_ = true;
            tone_divisor_ = divisor_;
            tone_start_ = now_ms;
            writes_since_start_ = kSettleWrites;
        }
    }
}

void SpeakerTimer::Finish(long long now_ms) {
    sounding_ = false;
    const Tone tone{tone_divisor_, kInputClockHz / tone_divisor_, now_ms - tone_start_};
    tones_.push_back(tone);
    if (listener_) listener_(tone, tone_start_);
}

}  // namespace kelvane::board
