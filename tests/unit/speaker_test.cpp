#include "chip/speaker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "board/board.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

// The board's port accesses as "in 61=A4" (read) and "61=A7" (write).
std::vector<std::string> PortTrace(const board::Board& board) {
    std::vector<std::string> trace;
    for (const board::Board::Access& a : board.accesses()) {
        char line[16];
        const bool in = a.kind == board::Board::Access::Kind::Inb;
        std::snprintf(line, sizeof line, "%s%02X=%02X", in ? "in " : "", a.port, a.value);
        trace.push_back(line);
    }
    return trace;
}

struct SpeakerRig {
    board::Board board{"[Speaker]\nPort61=0xA4\n"};
    testing::Rig rig{board};
    Form1& f = rig.form;
};

ErrorKind FailureOf(Form1& f, std::int32_t frequency) {
    try {
        SetSpeakerFrequency(f.chip, frequency);
    } catch (const RuntimeError& e) {
        return e.kind();
    }
    ADD_FAILURE() << frequency << " Hz did not fail";
    return ErrorKind::FileError;
}

TEST(Speaker, TunePlaysItsDivisorsOnTheBoard) {
    SpeakerRig r;
    long long now = 0;
    r.board.set_clock([&now] { return now; });
    std::array<NoteRecord, 5> tune = StandardAlarmTune();
    for (NoteRecord& note : tune) {
        PlayNote(r.f.chip, r.f.sys.clock, note);
        now += 10;  // time passes between the accesses
    }
    std::vector<int> divisors;
    for (const board::Tone& tone : r.board.tones()) divisors.push_back(tone.divisor);
    EXPECT_EQ(divisors, (std::vector<int>{1329, 1184, 1491, 2983, 1992}));
    EXPECT_EQ(r.rig.clock.sleeps, (std::vector<long>{150, 150, 150, 150, 300}));
    EXPECT_FALSE(r.board.sounding());
}

TEST(Speaker, PortSequenceOfANote) {
    SpeakerRig r;
    NoteRecord note{12, 150};
    PlayNote(r.f.chip, r.f.sys.clock, note);
    // 800 Hz: 1491.475 rounds to 1491 = 0x05D3, low byte first; port 0x61 keeps its other bits.
    EXPECT_EQ(PortTrace(r.board), (std::vector<std::string>{"in 61=A4", "61=A7", "43=B6", "42=D3",
                                                            "42=05", "in 61=A7", "61=A4"}));
    EXPECT_EQ(note.note, 12);
    EXPECT_EQ(note.duration, 150);

    NoteRecord backwards{0, -1};  // the duration is widened with its sign
    PlayNote(r.f.chip, r.f.sys.clock, backwards);
    EXPECT_EQ(r.rig.clock.sleeps, (std::vector<long>{150, -1}));
}

TEST(Speaker, FrequencyToDivisorAndItsFailures) {
    SpeakerRig r;
    std::int32_t frequency = 400;
    SetSpeakerFrequency(r.f.chip, frequency);
    EXPECT_EQ(frequency, 2983);

    r.board.clear_accesses();
    EXPECT_EQ(FailureOf(r.f, 0), ErrorKind::DivisionByZero);
    EXPECT_TRUE(r.board.accesses().empty());

    // Below about 18.2 Hz the divisor needs 17 bits: the control word and the low byte go
    // out before the high byte fails its range check. A negative divisor's low byte fails.
    r.board.clear_accesses();
    frequency = 18;
    EXPECT_THROW(SetSpeakerFrequency(r.f.chip, frequency), RuntimeError);
    EXPECT_EQ(frequency, 66288);
    EXPECT_EQ(PortTrace(r.board), (std::vector<std::string>{"43=B6", "42=F0"}));
    for (std::int32_t negative : {-400, -5000}) {  // -5000 Hz: -239, high byte 0, low not
        r.board.clear_accesses();
        EXPECT_EQ(FailureOf(r.f, negative), ErrorKind::Overflow);
        EXPECT_EQ(PortTrace(r.board), std::vector<std::string>{"43=B6"});
    }
    frequency = 19;  // 62799: both bytes in range
    SetSpeakerFrequency(r.f.chip, frequency);
    EXPECT_EQ(frequency, 62799);
}

TEST(Speaker, AFailedNoteSilencesTheSpeaker) {
    SpeakerRig r;
    NoteRecord low{-60, 150};  // 12.5 Hz rounds to 12: divisor 99432
    EXPECT_THROW(PlayNote(r.f.chip, r.f.sys.clock, low), RuntimeError);
    EXPECT_EQ(PortTrace(r.board), (std::vector<std::string>{"in 61=A4", "61=A7", "43=B6", "42=68",
                                                            "in 61=A7", "61=A4"}));
    EXPECT_TRUE(r.rig.clock.sleeps.empty());
}

}  // namespace
}  // namespace kelvane
