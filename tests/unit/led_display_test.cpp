#include "chip/led_display.h"

#include <gtest/gtest.h>

#include <vector>

#include "board/board.h"
#include "monitor/readout.h"
#include "state/chip_views.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

constexpr Pixel kUntouched = 0x123456;

bool SameBlock(const Surface& a, int ax, const Surface& b, int bx, int w) {
    for (int y = 0; y < kCellHeight; ++y)
        for (int x = 0; x < w; ++x)
            if (a.GetPixel(ax + x, y) != b.GetPixel(bx + x, y)) return false;
    return true;
}

bool Untouched(const Surface& s, int x0, int w) {
    for (int y = 0; y < kCellHeight; ++y)
        for (int x = x0; x < x0 + w; ++x)
            if (s.GetPixel(x, y) != kUntouched) return false;
    return true;
}

// The strip cell shown at dest x, or -1 when none matches.
int CellAt(const Surface& dest, int x, const Surface& strip) {
    for (int c = 0; c < kCellCount; ++c)
        if (SameBlock(dest, x, strip, c * kCellWidth, kCellWidth)) return c;
    return -1;
}

struct LedRig {
    board::Board board;
    testing::Rig rig{board};
    Form1& f = rig.form;
    PixelSurface dest{75, 22, kUntouched};
    LedRig() {
        for (int k = 0; k < 3; ++k) PaintGlyphStrip(rig.surfaces.LedFont(k), k);
        f.window.visible = true;
    }
    const Surface& strip(int k) { return rig.surfaces.LedFont(k); }
    std::vector<int> Digits(int count, int k) {
        std::vector<int> cells;
        for (int i = 0; i < count; ++i) cells.push_back(CellAt(dest, i * kCellWidth, strip(k)));
        return cells;
    }
    // Ring part of cell 11 right of the third digit, and the unit letter.
    bool UnitShown(int letter, int k) {
        return SameBlock(dest, 45, strip(k), kCellPointAndDegree * kCellWidth + 5, 10) &&
               CellAt(dest, 55, strip(k)) == letter;
    }
};

TEST(GlyphStrips, EveryCellIsDistinctAndTheStripsDiffer) {
    PixelSurface strips[3] = {
        {kStripWidth, kCellHeight}, {kStripWidth, kCellHeight}, {kStripWidth, kCellHeight}};
    for (int k = 0; k < 3; ++k) {
        PaintGlyphStrip(strips[k], k);
        for (int a = 0; a < kCellCount; ++a)
            for (int b = a + 1; b < kCellCount; ++b)
                EXPECT_FALSE(
                    SameBlock(strips[k], a * kCellWidth, strips[k], b * kCellWidth, kCellWidth))
                    << "strip " << k << " cells " << a << " and " << b;
    }
    for (int c = 0; c < kCellCount; ++c) {
        EXPECT_FALSE(SameBlock(strips[0], c * kCellWidth, strips[2], c * kCellWidth, kCellWidth))
            << c;
        EXPECT_FALSE(SameBlock(strips[0], c * kCellWidth, strips[1], c * kCellWidth, kCellWidth))
            << c;
    }
    // The third digit covers cell 11's left five columns: its ring must lie to their right.
    bool ring_visible = false;
    for (int y = 0; y < kCellHeight; ++y)
        for (int x = 5; x < kCellWidth; ++x)
            ring_visible |= strips[0].GetPixel(kCellPointAndDegree * kCellWidth + x, y) !=
                            strips[0].GetPixel(kCellPointAndDegree * kCellWidth + 7, 10);
    EXPECT_TRUE(ring_visible);
    EXPECT_THROW(PaintGlyphStrip(strips[0], 3), RuntimeError);

    // An unlit segment (a of the 1) lies close to the background, far from a lit one (a of
    // the 8): on the fan strip within a twentieth of the way, on the others a fifth.
    auto luma = [](Pixel p) {
        return 0.299 * ((p >> 16) & 0xFF) + 0.587 * ((p >> 8) & 0xFF) + 0.114 * (p & 0xFF);
    };
    for (int k = 0; k < 3; ++k) {
        const double lit = luma(strips[k].GetPixel(8 * kCellWidth + 7, 1));
        const double unlit = luma(strips[k].GetPixel(1 * kCellWidth + 7, 1));
        const double ground = luma(strips[k].GetPixel(1 * kCellWidth + 7, 5));
        EXPECT_LE(unlit - ground, (k == kStripFan ? 0.05 : 0.2) * (lit - ground)) << k;
        EXPECT_GT(unlit, ground) << k;  // still a faint outline
    }
}

TEST(LedDisplay, CelsiusAndFahrenheit) {
    LedRig r;
    DrawTemperature(LedStyleOf(r.f), r.dest, 0, kFalse);
    EXPECT_EQ(r.Digits(3, kStripNormal), (std::vector<int>{0, 0, 0}));
    EXPECT_TRUE(r.UnitShown(kCellCelsius, kStripNormal));

    r.f.settings.g_DisplayScale = 1;
    const struct {
        i16 celsius;
        std::vector<int> digits;
    } cases[] = {{0, {0, 3, 2}},  {25, {0, 7, 7}},  {26, {0, 7, 9}},
                 {28, {0, 8, 3}}, {100, {2, 1, 2}}, {-40, {kCellMinus, 4, 0}}};
    for (const auto& c : cases) {
        DrawTemperature(LedStyleOf(r.f), r.dest, c.celsius, kFalse);
        EXPECT_EQ(r.Digits(3, kStripNormal), c.digits) << c.celsius;
        EXPECT_TRUE(r.UnitShown(kCellFahrenheit, kStripNormal));
    }
    // 3641 * 9 + 2 does not fit 16 bits.
    EXPECT_THROW(DrawTemperature(LedStyleOf(r.f), r.dest, 3641, kFalse), RuntimeError);
    DrawTemperature(LedStyleOf(r.f), r.dest, 3640, kFalse);
    EXPECT_EQ(r.Digits(3, kStripNormal), (std::vector<int>{5, 8, 4}));  // 6584

    r.f.settings.g_DisplayScale = 2;  // not Fahrenheit: Celsius digits, labelled C
    DrawTemperature(LedStyleOf(r.f), r.dest, 25, kFalse);
    EXPECT_EQ(r.Digits(3, kStripNormal), (std::vector<int>{0, 2, 5}));
    EXPECT_TRUE(r.UnitShown(kCellCelsius, kStripNormal));
}

TEST(LedDisplay, TemperatureDigitsCutAndSign) {
    LedRig r;
    const struct {
        i16 celsius;
        std::vector<int> digits;
    } cases[] = {{7, {0, 0, 7}},
                 {45, {0, 4, 5}},
                 {1000, {0, 0, 0}},
                 {1234, {2, 3, 4}},
                 {-5, {kCellMinus, 0, 5}},
                 {-123, {kCellMinus, 2, 3}},
                 {-32768, {kCellMinus, 6, 8}}};
    for (const auto& c : cases) {
        DrawTemperature(LedStyleOf(r.f), r.dest, c.celsius, kFalse);
        EXPECT_EQ(r.Digits(3, kStripNormal), c.digits) << c.celsius;
    }
}

TEST(LedDisplay, AlertStripAndHiddenWindow) {
    LedRig r;
    DrawTemperature(LedStyleOf(r.f), r.dest, 86, kTrue);
    EXPECT_EQ(r.Digits(3, kStripAlert), (std::vector<int>{0, 8, 6}));
    EXPECT_TRUE(r.UnitShown(kCellCelsius, kStripAlert));

    LedRig hidden;
    hidden.f.window.visible = false;
    DrawTemperature(LedStyleOf(hidden.f), hidden.dest, 86, kFalse);
    EXPECT_TRUE(Untouched(hidden.dest, 0, 40));
    EXPECT_EQ(CellAt(hidden.dest, 40, hidden.strip(kStripNormal)), kCellPointAndDegree);
    EXPECT_EQ(CellAt(hidden.dest, 55, hidden.strip(kStripNormal)), kCellCelsius);
}

TEST(LedDisplay, FanSpeedDigitsAndStoredValue) {
    LedRig r;
    r.f.window.visible = false;  // fan digits are drawn regardless
    r.f.g_Cur_i = 0;
    ShowFanSpeed(r.f, r.dest, 123456);
    EXPECT_EQ(r.Digits(5, kStripFan), (std::vector<int>{2, 3, 4, 5, 6}));
    EXPECT_EQ(r.f.SystemTempFan, 23456);

    r.f.g_Cur_i = 1;
    ShowFanSpeed(r.f, r.dest, 2500);
    EXPECT_EQ(r.Digits(5, kStripFan), (std::vector<int>{0, 2, 5, 0, 0}));
    EXPECT_EQ(r.f.CPUTempFan, 2500);
    EXPECT_EQ(r.f.SystemTempFan, 23456);

    r.f.g_Cur_i = 2;
    ShowFanSpeed(r.f, r.dest, 99999);
    EXPECT_EQ(r.Digits(5, kStripFan), (std::vector<int>{9, 9, 9, 9, 9}));
    EXPECT_EQ(r.f.CPUTempFan, 2500);
    EXPECT_EQ(r.f.SystemTempFan, 23456);

    r.f.g_Cur_i = 1;  // no reading: a stopped fan
    ShowFanSpeed(r.f, r.dest, -1200);
    EXPECT_EQ(r.Digits(5, kStripFan), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(r.f.CPUTempFan, 0);
}

}  // namespace
}  // namespace kelvane
