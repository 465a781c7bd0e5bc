#include "chip/surface.h"

#include <algorithm>
#include <cstring>

namespace kelvane {

PixelSurface::PixelSurface(int width, int height, Pixel fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), fill) {}

Pixel PixelSurface::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void PixelSurface::SetPixel(int x, int y, Pixel p) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = p;
}

void PixelSurface::BitBlt(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) {
    if (const auto* from = dynamic_cast<const PixelSurface*>(&src)) {
        // Clip once, then whole rows: this runs for every digit of every display each tick.
        const int x0 = std::max({0, -dx, -sx});
        const int y0 = std::max({0, -dy, -sy});
        const int x1 = std::min({w, width_ - dx, from->width_ - sx});
        const int y1 = std::min({h, height_ - dy, from->height_ - sy});
        if (x1 <= x0 || y1 <= y0) return;
        const size_t row_bytes = static_cast<size_t>(x1 - x0) * sizeof(Pixel);
        const Pixel* in =
            from->pixels_.data() + static_cast<size_t>(sy + y0) * from->width_ + (sx + x0);
        Pixel* out = pixels_.data() + static_cast<size_t>(dy + y0) * width_ + (dx + x0);
        for (int y = y0; y < y1; ++y, in += from->width_, out += width_)
            std::memcpy(out, in, row_bytes);
        return;
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int tx = dx + x, ty = dy + y, fx = sx + x, fy = sy + y;
            if (tx < 0 || ty < 0 || tx >= width_ || ty >= height_) continue;
            if (fx < 0 || fy < 0 || fx >= src.width() || fy >= src.height()) continue;
            SetPixel(tx, ty, src.GetPixel(fx, fy));
        }
    }
}

}  // namespace kelvane
