#pragma once
// A pixel surface that LED digits are copied into and glyph strips are copied out of.
// In tests it is memory (PixelSurface); on Windows a DC-backed bitmap whose BitBlt is the
// real raster copy (source replaces destination).
#include <cstdint>
#include <vector>

namespace kelvane {

using Pixel = std::uint32_t;  // 0x00RRGGBB, top-down rows

class Surface {
  public:
    virtual ~Surface() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Copies a w x h block of src at (sx, sy) to (dx, dy); parts outside either are clipped.
    virtual void BitBlt(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) = 0;
    virtual Pixel GetPixel(int x, int y) const = 0;
    virtual void SetPixel(int x, int y, Pixel p) = 0;
};

class PixelSurface : public Surface {
  public:
    PixelSurface(int width, int height, Pixel fill = 0);
    int width() const override { return width_; }
    int height() const override { return height_; }
    void BitBlt(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) override;
    Pixel GetPixel(int x, int y) const override;
    void SetPixel(int x, int y, Pixel p) override;
    const std::vector<Pixel>& pixels() const { return pixels_; }
    std::vector<Pixel>& pixels() { return pixels_; }

  private:
    int width_, height_;
    std::vector<Pixel> pixels_;
};

// The main window's LED picture boxes and glyph strips as surfaces.
class Surfaces {
  public:
    virtual ~Surfaces() = default;
    virtual Surface& LedPic(int n) = 0;
    virtual Surface& FanLed(int n) = 0;
    virtual Surface& LedFont(int k) = 0;
    virtual void Invalidate() = 0;  // repaint what was drawn this tick
};

}  // namespace kelvane
