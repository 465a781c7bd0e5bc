#include <gtest/gtest.h>

#include "board/board.h"

namespace kelvane::board {
namespace {

// The sequence a program uses for one note, with the board's clock under the test's control.
struct SpeakerRig {
    Board board;
    long long now = 1000;
    SpeakerRig() {
        board.set_clock([this] { return now; });
    }

    void Play(int divisor, long long ms) {
        board.Outb(0x61, board.Inb(0x61) | 0x03);
        board.Outb(0x43, 0xB6);
        board.Outb(0x42, static_cast<std::uint8_t>(divisor % 256));
        board.Outb(0x42, static_cast<std::uint8_t>(divisor / 256));
        now += ms;
        board.Outb(0x61, board.Inb(0x61) & 0xFC);
    }
};

TEST(BoardSpeaker, RecordsEachNoteOfATune) {
    SpeakerRig rig;
    const int divisors[5] = {1329, 1184, 1491, 2983, 1992};
    const long long durations[5] = {150, 150, 150, 150, 300};
    for (int i = 0; i < 5; ++i) rig.Play(divisors[i], durations[i]);
    const auto& tones = rig.board.tones();
    ASSERT_EQ(tones.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tones[i].divisor, divisors[i]);
        EXPECT_DOUBLE_EQ(tones[i].frequency_hz, 1193180.0 / divisors[i]);
        EXPECT_EQ(tones[i].duration_ms, durations[i]);
    }
    EXPECT_NEAR(tones[0].frequency_hz, 897.8, 0.05);
    EXPECT_FALSE(rig.board.sounding());
}

TEST(BoardSpeaker, ToneNeedsBothGateBitsAndACount) {
    SpeakerRig rig;
    rig.board.Outb(0x61, 0x01);  // gate only
    rig.board.Outb(0x43, 0xB6);
    rig.board.Outb(0x42, 0xA9);
    EXPECT_FALSE(rig.board.sounding()) << "only the low byte is in";
    rig.board.Outb(0x42, 0x0B);
    EXPECT_FALSE(rig.board.sounding());
    rig.now += 100;
    rig.board.Outb(0x61, 0x03);
    EXPECT_TRUE(rig.board.sounding());
    rig.now += 40;
    rig.board.Outb(0x61, 0x02);
    ASSERT_EQ(rig.board.tones().size(), 1u);
    EXPECT_EQ(rig.board.tones()[0].divisor, 0x0BA9);
    EXPECT_EQ(rig.board.tones()[0].duration_ms, 40);
}

TEST(BoardSpeaker, ToneStartsWhenTheCountArrivesAfterTheGate) {
    SpeakerRig rig;
    rig.board.Outb(0x61, 0x03);
    rig.now += 30;  // nothing programmed yet: silence
    rig.board.Outb(0x43, 0xB6);
    rig.board.Outb(0x42, 0x00);
    rig.board.Outb(0x42, 0x10);
    rig.now += 70;
    rig.board.Outb(0x61, 0x00);
    ASSERT_EQ(rig.board.tones().size(), 1u);
    EXPECT_EQ(rig.board.tones()[0].duration_ms, 70);
}

TEST(BoardSpeaker, NewCountWhileSoundingSplitsTheTone) {
    SpeakerRig rig;
    rig.Play(1000, 50);
    rig.board.Outb(0x61, 0x03);  // the old count sounds again for a moment
    rig.now += 30;               // a busy machine: still the same note
    rig.board.Outb(0x43, 0xB6);
    rig.board.Outb(0x42, 0xD0);
    rig.board.Outb(0x42, 0x07);  // 2000
    rig.now += 80;
    rig.board.Outb(0x43, 0xB6);
    rig.board.Outb(0x42, 0xB8);
    rig.board.Outb(0x42, 0x0B);  // 3000, without switching off
    rig.now += 20;
    rig.board.Outb(0x61, 0x00);
    const auto& tones = rig.board.tones();
    ASSERT_EQ(tones.size(), 3u) << "the old count's instant before the new one is no tone";
    EXPECT_EQ(tones[1].divisor, 2000);
    EXPECT_EQ(tones[1].duration_ms, 110);
    EXPECT_EQ(tones[2].divisor, 3000);
    EXPECT_EQ(tones[2].duration_ms, 20);
}

TEST(BoardSpeaker, ZeroCountMeansTheLongestPeriod) {
    SpeakerRig rig;
    rig.Play(0, 10);
    ASSERT_EQ(rig.board.tones().size(), 1u);
    EXPECT_EQ(rig.board.tones()[0].divisor, 65536);
}

TEST(BoardSpeaker, SingleByteAccessModes) {
    SpeakerRig rig;
    rig.board.Outb(0x43, 0x96);  // channel 2, low byte only
    rig.board.Outb(0x42, 0x80);
    rig.board.Outb(0x61, 0x03);
    rig.now += 5;
    rig.board.Outb(0x61, 0x00);
    rig.board.Outb(0x43, 0xA6);  // high byte only
    rig.board.Outb(0x42, 0x02);
    rig.board.Outb(0x61, 0x03);
    rig.now += 5;
    rig.board.Outb(0x61, 0x00);
    ASSERT_EQ(rig.board.tones().size(), 2u);
    EXPECT_EQ(rig.board.tones()[0].divisor, 0x80);
    EXPECT_EQ(rig.board.tones()[1].divisor, 0x200);
}

TEST(BoardSpeaker, OtherChannelsControlWordsLeaveChannelTwoAlone) {
    SpeakerRig rig;
    rig.board.Outb(0x43, 0xB6);
    rig.board.Outb(0x42, 0x34);
    rig.board.Outb(0x43, 0x36);  // channel 0
    rig.board.Outb(0x43, 0x80);  // channel 2 latch: no new count expected
    rig.board.Outb(0x42, 0x12);
    rig.board.Outb(0x61, 0x03);
    rig.now += 1;
    rig.board.Outb(0x61, 0x00);
    ASSERT_EQ(rig.board.tones().size(), 1u);
    EXPECT_EQ(rig.board.tones()[0].divisor, 0x1234);
}

TEST(BoardSpeaker, Port61KeepsItsOtherBits) {
    SpeakerRig rig;
    rig.board.Reload("[Speaker]\nPort61=0x30\n");
    EXPECT_EQ(rig.board.Inb(0x61), 0x30);
    rig.Play(1329, 150);
    EXPECT_EQ(rig.board.Inb(0x61), 0x30);
    EXPECT_EQ(rig.board.accesses()[2].value, 0x33);  // the Outb that switched it on
}

TEST(BoardSpeaker, ListenerHearsEachFinishedTone) {
    SpeakerRig rig;
    std::vector<std::pair<int, long long>> heard;
    rig.board.set_tone_listener(
        [&](const Tone& t, long long start) { heard.emplace_back(t.divisor, start); });
    rig.Play(1329, 150);
    rig.now += 1000;
    rig.Play(1184, 150);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0], std::make_pair(1329, 1000LL));
    EXPECT_EQ(heard[1], std::make_pair(1184, 2150LL));
    rig.board.clear_tones();
    EXPECT_TRUE(rig.board.tones().empty());
}

}  // namespace
}  // namespace kelvane::board
