#include "chip/expression.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/rounding.h"
#include "board/board.h"
#include "state/channels.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

ErrorKind FailureOf(const std::string& line, i16 t) {
    try {
        EvaluateLine(line, t);
    } catch (const RuntimeError& e) {
        return e.kind();
    }
    ADD_FAILURE() << line << " did not fail for T = " << t;
    return ErrorKind::FileError;
}

// Reads the first `count` characters of `line`, as EvaluateLine would, and stops there.
Evaluator AfterReading(const std::string& line, size_t count, i16 t) {
    Evaluator e;
    e.Start(t);
    for (size_t i = 0; i < count; ++i) {
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        EXPECT_TRUE(e.Read(line[i], next));
    }
    return e;
}

std::vector<i16> FirstFive(const Evaluator& e) {
    return {e.slots()[1], e.slots()[2], e.slots()[3], e.slots()[4], e.slots()[5]};
}

TEST(Expression, WorkedExampleSlotBySlot) {
    const std::string line = "?T>50AT<80,X=T*2+1";
    struct Row {
        size_t read;
        int di, sp;
        std::vector<i16> slots;
    };
    const std::vector<Row> rows = {
        {5, 3, 1, {60, 1, 50, 0, 0}},      // ?T>50
        {6, 2, 3, {-1, 11, 0, 0, 0}},      // A
        {10, 5, 3, {-1, 11, 60, 2, 80}},   // T<80
        {11, 0, -1, {-1, 0, 0, 0, 0}},     // ,
        {16, 3, -1, {-1, 10, 120, 0, 0}},  // X=T*2
        {18, 5, -1, {-1, 10, 120, 6, 1}},  // +1
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(line.substr(0, row.read));
        const Evaluator e = AfterReading(line, row.read, 60);
        EXPECT_EQ(e.di(), row.di);
        EXPECT_EQ(e.sp(), row.sp);
        EXPECT_EQ(FirstFive(e), row.slots);
    }
    Evaluator e = AfterReading(line, line.size(), 60);
    EXPECT_EQ(e.cond(), kTrue);
    EXPECT_EQ(e.Finish(), 121);
    EXPECT_EQ(FirstFive(e), (std::vector<i16>{-1, 10, 121, 6, 1}));
    EXPECT_EQ(e.slots()[0], 0);

    EXPECT_EQ(EvaluateLine(line, 60), 121);
    EXPECT_EQ(EvaluateLine(line, 90), 90);  // second comparison false: T unchanged
}

TEST(Expression, ConditionsPassOrReturnTheInput) {
    for (int t = 0; t < 256; ++t) {
        SCOPED_TRACE(t);
        const i16 T = static_cast<i16>(t);
        EXPECT_EQ(EvaluateLine("?T$100,X=T-100", T), t >= 100 ? t - 100 : t);
        EXPECT_EQ(EvaluateLine("?T>200,X=0", T), t > 200 ? 0 : t);
        EXPECT_EQ(EvaluateLine("?T#255,X=1000", T), t == 255 ? 1000 : t);
        EXPECT_EQ(EvaluateLine("?T>50AT<80,X=1", T), t > 50 && t < 80 ? 1 : t);
        EXPECT_EQ(EvaluateLine("?T<10OT>240,X=0", T), t < 10 || t > 240 ? 0 : t);
        EXPECT_EQ(EvaluateLine("?T@7,X=3", T), t != 7 ? 3 : t);
        EXPECT_EQ(EvaluateLine("?T%7,X=3", T), t <= 7 ? 3 : t);
        // Combined from the right: c1 and (c2 or c3).
        EXPECT_EQ(EvaluateLine("?T>100AT<120OT>200,X=1", T),
                  t > 100 && (t < 120 || t > 200) ? 1 : t);
    }
}

TEST(Expression, ArithmeticWithoutAndWithComma) {
    for (int t = 0; t < 256; ++t) {
        SCOPED_TRACE(t);
        const i16 T = static_cast<i16>(t);
        EXPECT_EQ(EvaluateLine(",X=T*2", T), 2 * t);
        EXPECT_EQ(EvaluateLine("X=T+5", T), t + 5);
        EXPECT_EQ(EvaluateLine(",X=T*9/5+32", T), RoundHalfEven(t * 9 / 5.0) + 32);
        // Without a comma * is not folded and the additive fold subtracts.
        EXPECT_EQ(EvaluateLine("X=T*2", T), t - 2);
    }
    EXPECT_EQ(EvaluateLine(",X=1 2", 9), 1);  // a space ends a number
    Evaluator e;
    EXPECT_EQ(e.Evaluate(Classify(",X=1 2"), 9), 1);  // also where spaces are dropped
    EXPECT_EQ(e.Evaluate(Classify(",X=12"), 9), 12);
    EXPECT_EQ(EvaluateLine(",X=7/2", 0), 4);
    EXPECT_EQ(EvaluateLine(",X=5/2", 0), 2);
    EXPECT_EQ(EvaluateLine(",X=T*3/2/3", 3), 1);  // left to right: 9/2 = 4 (even), 4/3 = 1.33
    EXPECT_EQ(EvaluateLine("", 42), 0);
}

TEST(Expression, StrayCharactersFollowTheFolds) {
    for (i16 t : {0, 5, 100, 255}) {
        SCOPED_TRACE(t);
        // Lower-case letters take a slot and write nothing: t is 0, a and o combine nothing.
        EXPECT_EQ(EvaluateLine("?t#0,X=7", t), 7);
        EXPECT_EQ(EvaluateLine("?T>50aT<80,X=1", t), t > 50 ? 1 : t);
        EXPECT_EQ(EvaluateLine("?T>50AT<80,X=1", t), t > 50 && t < 80 ? 1 : t);
        // Arithmetic in the condition compares T with 2 by code 8: always false.
        EXPECT_EQ(EvaluateLine("?T*2>50,X=0", t), t);
    }
    EXPECT_EQ(EvaluateLine(",X=8T", 5), 8);  // juxtaposed: no term
}

TEST(Expression, DecidedCases) {
    for (int t = 0; t < 256; ++t) {
        SCOPED_TRACE(t);
        const i16 T = static_cast<i16>(t);
        EXPECT_EQ(EvaluateLine(",X=2*T", T), 2 * t);
        EXPECT_EQ(EvaluateLine(",X=T-2-3", T), t - 5);
        EXPECT_EQ(EvaluateLine(",X=T*2+1-3", T), 2 * t - 2);
        EXPECT_EQ(EvaluateLine(",X=T+T*2-10/5+1", T), 3 * t - 1);
        EXPECT_EQ(EvaluateLine("X=T+5-3", T), t + 2);
        EXPECT_EQ(EvaluateLine("?T>10,X=T-2-3", T), t > 10 ? t - 5 : t);
        // Any token may stand before "=".
        EXPECT_EQ(EvaluateLine(",5=T+1", T), t + 1);
        EXPECT_EQ(EvaluateLine(",+=T+1", T), t + 1);
        EXPECT_EQ(EvaluateLine(",T=T+1", T), t + 1);
    }
    EXPECT_EQ(EvaluateLine(",X=200/T", 3), 67);
}

TEST(Expression, RunTimeErrors) {
    EXPECT_EQ(FailureOf(",X=40000", 0), ErrorKind::Overflow);
    EXPECT_EQ(FailureOf(",X=T*200", 200), ErrorKind::Overflow);
    EXPECT_EQ(EvaluateLine(",X=T*200", 100), 20000);
    EXPECT_EQ(FailureOf(",X=30000+T", 2768), ErrorKind::Overflow);
    EXPECT_EQ(FailureOf(",X=T/0", 5), ErrorKind::DivisionByZero);
    EXPECT_EQ(FailureOf(",X=200/T", 0), ErrorKind::DivisionByZero);
    EXPECT_EQ(EvaluateLine(std::string(64, 'Z'), 1), 0);
    EXPECT_EQ(FailureOf(std::string(65, 'Z'), 1), ErrorKind::Subscript);
    // Digits of one number share a slot, spaces take none.
    EXPECT_EQ(EvaluateLine(std::string(63, 'Z') + "12345  ", 1), 0);
}

struct TableRig {
    board::Board board;
    testing::Rig rig{board};
    Form1& f = rig.form;
    TableRig() {
        f.ReadingTable.fill(77);
        for (int j = 0; j < 3; ++j) f.window.LedPic[static_cast<size_t>(j)].tag = std::to_string(j);
    }
    i16 Entry(int t, int j) const { return f.ReadingTable[static_cast<size_t>(t * 3 + j)]; }
};

TEST(ReadingTables, ChannelsFollowTheirRecordByTag) {
    TableRig r;
    r.f.settings.g_DefaultFanCtrl[2].Modulate = "?T$100,X=T-100";
    r.f.settings.g_DefaultFanCtrl[0].Modulate = ",X=T*2";
    r.f.window.LedPic[0].tag = "2";   // channel 0 uses record 2
    r.f.window.LedPic[1].tag = " 1";  // record 1 has no expression
    r.f.window.LedPic[2].tag = "5";   // no such record
    BuildReadingTables(r.f);
    for (int t = 0; t < 256; ++t) {
        SCOPED_TRACE(t);
        EXPECT_EQ(r.Entry(t, 0), t >= 100 ? t - 100 : t);
        EXPECT_EQ(r.Entry(t, 1), 77);
        EXPECT_EQ(r.Entry(t, 2), 77);
    }
    EXPECT_EQ(ChannelRecord(r.f, 1), 1);
    EXPECT_EQ(ChannelRecord(r.f, 2), std::nullopt);
    r.f.window.LedPic[2].tag = "x";
    EXPECT_EQ(ChannelRecord(r.f, 2), std::nullopt);
    r.f.window.LedPic[2].tag = "-1";
    EXPECT_EQ(ChannelRecord(r.f, 2), std::nullopt);
}

TEST(ReadingTables, AFailingInputKeepsItsEntry) {
    TableRig r;
    r.f.settings.g_DefaultFanCtrl[1].Modulate = ",X=T*200";  // overflows from T = 164 on
    r.f.settings.g_DefaultFanCtrl[2].Modulate = ",X=510/T";  // T = 0 divides by zero
    BuildReadingTables(r.f);
    EXPECT_EQ(r.Entry(0, 0), 77);
    EXPECT_EQ(r.Entry(163, 1), 32600);
    EXPECT_EQ(r.Entry(164, 1), 77);
    EXPECT_EQ(r.Entry(255, 1), 77);
    EXPECT_EQ(r.Entry(0, 2), 77);
    EXPECT_EQ(r.Entry(1, 2), 510);
    EXPECT_EQ(r.Entry(255, 2), 2);
}

}  // namespace
}  // namespace kelvane
