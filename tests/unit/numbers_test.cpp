#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/byte.h"
#include "base/int16.h"
#include "base/number_text.h"
#include "base/rounding.h"

namespace kelvane {
namespace {

TEST(NumberText, IntegersAndFixedDecimalsEitherSideOf32Bits) {
    auto integer = [](long long v) {
        std::string s = "=";
        AppendInteger(s, v);
        return s;
    };
    EXPECT_EQ(integer(0), "=0");
    EXPECT_EQ(integer(-7), "=-7");
    EXPECT_EQ(integer(4294967295LL), "=4294967295");
    EXPECT_EQ(integer(4294967296LL), "=4294967296");
    EXPECT_EQ(integer(LLONG_MIN), "=-9223372036854775808");
    auto fixed = [](double v, int decimals) {
        std::string s;
        AppendFixed(s, v, decimals);
        return s;
    };
    EXPECT_EQ(fixed(0.0005, 3), "0.001");
    EXPECT_EQ(fixed(-0.0004, 3), "0.000");
    EXPECT_EQ(fixed(-12.345, 1), "-12.3");
    EXPECT_EQ(fixed(7.0, 0), "7");
    EXPECT_EQ(fixed(5e9 + 0.25, 2), "5000000000.25");
    EXPECT_EQ(fixed(-999999999999.5, 0), "-1000000000000");
}

TEST(Rounding, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(1491.475), 1491);
    EXPECT_EQ(RoundHalfEven(1278.41), 1278);
    EXPECT_EQ(RoundToInt16(Divide(7, 2)), 4);
    EXPECT_EQ(RoundToInt16(Divide(5, 2)), 2);
}

TEST(Rounding, FailuresAreRunTimeErrors) {
    EXPECT_THROW(Divide(1, 0), RuntimeError);
    EXPECT_THROW(RoundToInt16(32767.5), RuntimeError);  // rounds to 32768
    EXPECT_EQ(RoundToInt16(32766.5), 32766);
    EXPECT_THROW(RoundToInt32(std::nan("")), RuntimeError);
}

TEST(SixteenBit, SumsProductsAndConversionsAreChecked) {
    EXPECT_EQ(Add16(32766, 1), 32767);
    EXPECT_THROW(Add16(32767, 1), RuntimeError);
    EXPECT_THROW(Sub16(-32768, 1), RuntimeError);
    EXPECT_THROW(Mul16(200, 200), RuntimeError);
    EXPECT_EQ(Mul16(-128, 256), -32768);
    try {
        ToInt16(70000);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow);
    }
}

TEST(ByteAndPort, RangeChecked) {
    EXPECT_EQ(ToByte(255), 255);
    EXPECT_THROW(ToByte(256), RuntimeError);
    EXPECT_THROW(ToByte(-1), RuntimeError);
    EXPECT_EQ(ToPort(0x295), 0x295);
    EXPECT_EQ(ToPort(-1), 0xFFFF);
    EXPECT_THROW(ToPort(0x10000), RuntimeError);
}

}  // namespace
}  // namespace kelvane
