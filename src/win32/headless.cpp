#include "win32/headless.h"

#include "chip/glyphs.h"

namespace kelvane::win32 {

Headless::Headless() {
    // The sizes of the window's LED controls and glyph strips.
    for (std::size_t k = 0; k < 3; ++k) {
        led_pic_[k] = std::make_unique<PixelSurface>(73, 22);
        fan_led_[k] = std::make_unique<PixelSurface>(75, 22);
        led_font_[k] = std::make_unique<PixelSurface>(255, 20);
        PaintGlyphStrip(*led_font_[k], static_cast<int>(k));
    }
}

}  // namespace kelvane::win32
