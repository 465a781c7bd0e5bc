#include "chip/speaker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

// Records port writes as "port=value" and answers port 0x61 with a fixed value.
class PortRecorder : public PortDriver {
  public:
    std::uint8_t port61 = 0xA4;
    std::vector<std::string> log;
    std::uint8_t Inb(std::uint16_t port) override {
        log.push_back("in " + Hex(port));
        return port == 0x61 ? port61 : 0xFF;
    }
    void Outb(std::uint16_t port, std::uint8_t value) override {
        log.push_back(Hex(port) + "=" + Hex(value));
    }
    std::uint8_t ReadReg(std::uint16_t, std::uint8_t) override { return 0; }
    void WriteReg(std::uint16_t, std::uint8_t, std::uint8_t) override {}

  private:
    static std::string Hex(int v) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02X", v);
        return buf;
    }
};

ErrorKind FailureOf(Form1& f, std::int32_t frequency) {
    try {
        SetSpeakerFrequency(f, frequency);
    } catch (const RuntimeError& e) {
        return e.kind();
    }
    ADD_FAILURE() << frequency << " Hz did not fail";
    return ErrorKind::FileError;
}

TEST(Speaker, TunePlaysItsDivisorsOnTheBoard) {
    board::Board board("[Speaker]\nPort61=0x30\n");
    long long now = 0;
    board.set_clock([&now] { return now; });
    testing::Rig rig(board);
    std::array<NoteRecord, 5> tune = StandardAlarmTune();
    for (NoteRecord& note : tune) {
        PlayNote(rig.form, note);
        now += 10;  // time passes between the accesses
    }
    std::vector<int> divisors;
    for (const board::Tone& tone : board.tones()) divisors.push_back(tone.divisor);
    EXPECT_EQ(divisors, (std::vector<int>{1329, 1184, 1491, 2983, 1992}));
    EXPECT_EQ(rig.clock.sleeps, (std::vector<long>{150, 150, 150, 150, 300}));
    EXPECT_FALSE(board.sounding());
    EXPECT_EQ(board.Inb(0x61), 0x30);  // the other bits as they were
}

TEST(Speaker, PortSequenceOfANote) {
    PortRecorder ports;
    testing::Rig rig(ports);
    NoteRecord note{12, 150};
    PlayNote(rig.form, note);
    // 800 Hz: 1491.475 rounds to 1491 = 0x05D3, low byte first.
    EXPECT_EQ(ports.log, (std::vector<std::string>{"in 61", "61=A7", "43=B6", "42=D3", "42=05",
                                                   "in 61", "61=A4"}));
    EXPECT_EQ(note.note, 12);
    EXPECT_EQ(note.duration, 150);

    NoteRecord backwards{0, -1};  // the duration is widened with its sign
    PlayNote(rig.form, backwards);
    EXPECT_EQ(rig.clock.sleeps, (std::vector<long>{150, -1}));
}

TEST(Speaker, FrequencyToDivisorAndItsFailures) {
    PortRecorder ports;
    testing::Rig rig(ports);
    std::int32_t frequency = 400;
    SetSpeakerFrequency(rig.form, frequency);
    EXPECT_EQ(frequency, 2983);

    ports.log.clear();
    EXPECT_EQ(FailureOf(rig.form, 0), ErrorKind::DivisionByZero);
    EXPECT_TRUE(ports.log.empty());

    // Below about 18.2 Hz the divisor needs 17 bits; a negative one has no bytes at all.
    // Neither byte goes out, so the counter is never left half loaded.
    frequency = 18;
    EXPECT_THROW(SetSpeakerFrequency(rig.form, frequency), RuntimeError);
    EXPECT_EQ(frequency, 66288);
    EXPECT_EQ(ports.log, std::vector<std::string>{"43=B6"});
    ports.log.clear();
    EXPECT_EQ(FailureOf(rig.form, -400), ErrorKind::Overflow);
    EXPECT_EQ(ports.log, std::vector<std::string>{"43=B6"});
    ports.log.clear();
    EXPECT_EQ(FailureOf(rig.form, -5000), ErrorKind::Overflow);  // -239: high byte 0, low not
    EXPECT_EQ(ports.log, std::vector<std::string>{"43=B6"});
    frequency = 19;  // 62799: both bytes in range
    SetSpeakerFrequency(rig.form, frequency);
    EXPECT_EQ(frequency, 62799);
}

TEST(Speaker, AFailedNoteSilencesTheSpeaker) {
    PortRecorder ports;
    testing::Rig rig(ports);
    NoteRecord low{-60, 150};  // 12.5 Hz rounds to 12: divisor 99432
    EXPECT_THROW(PlayNote(rig.form, low), RuntimeError);
    EXPECT_EQ(ports.log, (std::vector<std::string>{"in 61", "61=A7", "43=B6", "in 61", "61=A4"}));
    EXPECT_TRUE(rig.clock.sleeps.empty());
}

}  // namespace
}  // namespace kelvane
