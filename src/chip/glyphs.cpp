#include "chip/glyphs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "base/runtime_error.h"

namespace kelvane {
namespace {

struct Palette {
    Pixel background;
    Pixel tile, tile_light, tile_dark;  // fan strip only; tile == background elsewhere
    Pixel lit, lit_edge, unlit;
    Pixel letter;
    bool tiles;
};

constexpr std::array<Palette, 3> kPalettes = {{
    {0x000000, 0x000000, 0x000000, 0x000000, 0x40FF60, 0x18C038, 0x0C2A12, 0x40FF60, false},
    // Unlit segments barely above the tile, so the lit digits read at a glance.
    {0x0A0B0D, 0x25282D, 0x3C4047, 0x15171A, 0xE4E8EC, 0xA4A9B0, 0x2B2E33, 0xFFFFFF, true},
    {0x000000, 0x000000, 0x000000, 0x000000, 0xFF4030, 0xC82014, 0x300C08, 0xFF4030, false},
}};

// Segments a..g as bits 0..6.
enum : std::uint8_t { kA = 1, kB = 2, kC = 4, kD = 8, kE = 16, kF = 32, kG = 64 };
constexpr std::array<std::uint8_t, 10> kDigitSegments = {
    kA | kB | kC | kD | kE | kF, kB | kC,           kA | kB | kD | kE | kG,
    kA | kB | kC | kD | kG,      kB | kC | kF | kG, kA | kC | kD | kF | kG,
    kA | kC | kD | kE | kF | kG, kA | kB | kC,      kA | kB | kC | kD | kE | kF | kG,
    kA | kB | kC | kD | kF | kG,
};

// Centre lines of the segment frame inside a cell.
constexpr int kLeftX = 2, kRightX = 12;
constexpr int kTopY = 1, kMiddleY = 9, kBottomY = 17;

class Cell {
  public:
    Cell(Surface& s, int index, const Palette& p) : s_(s), x0_(index * kCellWidth), p_(p) {}

    void Put(int x, int y, Pixel c) {
        if (x >= 0 && x < kCellWidth && y >= 0 && y < kCellHeight) s_.SetPixel(x0_ + x, y, c);
    }
    void Fill(int x1, int y1, int x2, int y2, Pixel c) {
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x) Put(x, y, c);
    }

    void Background() {
        Fill(0, 0, kCellWidth - 1, kCellHeight - 1, p_.background);
        if (!p_.tiles) return;
        // A raised tile with a one-pixel gap to the next cell on the right and below.
        Fill(0, 0, kCellWidth - 2, kCellHeight - 2, p_.tile);
        Fill(1, 0, kCellWidth - 3, 0, p_.tile_light);
        Fill(0, 1, 0, kCellHeight - 3, p_.tile_light);
        Fill(1, kCellHeight - 2, kCellWidth - 3, kCellHeight - 2, p_.tile_dark);
        Fill(kCellWidth - 2, 1, kCellWidth - 2, kCellHeight - 3, p_.tile_dark);
    }

    // Hexagonal segments, three pixels thick: the centre line is brighter than its sides.
    void Horizontal(int yc, int xa, int xb, bool on) {
        Fill(xa, yc, xb, yc, on ? p_.lit : p_.unlit);
        Fill(xa + 1, yc - 1, xb - 1, yc - 1, on ? p_.lit_edge : p_.unlit);
        Fill(xa + 1, yc + 1, xb - 1, yc + 1, on ? p_.lit_edge : p_.unlit);
    }
    void Vertical(int xc, int ya, int yb, bool on) {
        Fill(xc, ya, xc, yb, on ? p_.lit : p_.unlit);
        Fill(xc - 1, ya + 1, xc - 1, yb - 1, on ? p_.lit_edge : p_.unlit);
        Fill(xc + 1, ya + 1, xc + 1, yb - 1, on ? p_.lit_edge : p_.unlit);
    }

    // All seven segments, the lit ones bright and the others dim.
    void Segments(std::uint8_t lit) {
        const int xa = kLeftX + 2, xb = kRightX - 2;
        Horizontal(kTopY, xa, xb, lit & kA);
        Vertical(kRightX, kTopY + 2, kMiddleY - 2, lit & kB);
        Vertical(kRightX, kMiddleY + 2, kBottomY - 2, lit & kC);
        Horizontal(kBottomY, xa, xb, lit & kD);
        Vertical(kLeftX, kMiddleY + 2, kBottomY - 2, lit & kE);
        Vertical(kLeftX, kTopY + 2, kMiddleY - 2, lit & kF);
        Horizontal(kMiddleY, xa, xb, lit & kG);
    }

    void Dot(int x, int y, Pixel c) { Fill(x, y, x + 1, y + 1, c); }

    // A two-pixel wide stroke from (x1, y1) to (x2, y2), for the fan strip's letters.
    void Stroke(int x1, int y1, int x2, int y2, Pixel c) {
        const int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
        for (int i = 0; i <= steps; ++i) {
            const int x = x1 + (steps == 0 ? 0 : (x2 - x1) * i / steps);
            const int y = y1 + (steps == 0 ? 0 : (y2 - y1) * i / steps);
            Dot(x, y, c);
        }
    }

    const Palette& palette() const { return p_; }

  private:
    Surface& s_;
    int x0_;
    const Palette& p_;
};

void PaintCell(Cell& cell, int index) {
    const Palette& p = cell.palette();
    cell.Background();
    if (index <= 9) {
        cell.Segments(kDigitSegments[static_cast<size_t>(index)]);
        return;
    }
    switch (index) {
        case kCellColon:
            cell.Dot(6, 5, p.lit);
            cell.Dot(6, 12, p.lit);
            break;
        case kCellPointAndDegree:
            cell.Dot(1, 16, p.lit);
            // Small ring, 5 x 5 with cut corners, in the top right.
            cell.Fill(10, 0, 12, 0, p.lit);
            cell.Fill(10, 4, 12, 4, p.lit);
            cell.Fill(9, 1, 9, 3, p.lit);
            cell.Fill(13, 1, 13, 3, p.lit);
            break;
        case kCellComma:
            cell.Dot(6, 15, p.lit);
            cell.Put(7, 17, p.lit);
            cell.Put(6, 18, p.lit);
            break;
        case kCellMinus:
            cell.Segments(kG);
            break;
        case kCellDegree:
            if (p.tiles) {
                cell.Stroke(2, 1, 6, 17, p.letter);
                cell.Stroke(11, 1, 7, 17, p.letter);
            } else {
                cell.Segments(kA | kB | kF | kG);
            }
            break;
        case kCellCelsius:
            if (p.tiles) {
                cell.Fill(4, 1, 12, 2, p.letter);
                cell.Fill(2, 3, 3, 16, p.letter);
                cell.Fill(4, 17, 12, 18, p.letter);
            } else {
                cell.Segments(kA | kD | kE | kF);
            }
            break;
        case kCellFahrenheit:
            if (p.tiles) {
                cell.Fill(2, 1, 3, 18, p.letter);
                cell.Fill(4, 1, 12, 2, p.letter);
                cell.Fill(4, 9, 10, 10, p.letter);
            } else {
                cell.Segments(kA | kE | kF | kG);
            }
            break;
        default:
            break;
    }
}

}  // namespace

void PaintGlyphStrip(Surface& strip, int k) {
    if (k < 0 || k >= static_cast<int>(kPalettes.size())) Raise(ErrorKind::Subscript, "strip");
    const Palette& palette = kPalettes[static_cast<size_t>(k)];
    for (int c = 0; c < kCellCount; ++c) {
        Cell cell(strip, c, palette);
        PaintCell(cell, c);
    }
}

}  // namespace kelvane
