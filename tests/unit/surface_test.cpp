#include "chip/surface.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

// A surface that is not a PixelSurface takes the general path; both must clip alike.
class Wrapped : public Surface {
  public:
    explicit Wrapped(PixelSurface& s) : s_(s) {}
    int width() const override { return s_.width(); }
    int height() const override { return s_.height(); }
    void BitBlt(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) override {
        s_.BitBlt(dx, dy, w, h, src, sx, sy);
    }
    Pixel GetPixel(int x, int y) const override { return s_.GetPixel(x, y); }
    void SetPixel(int x, int y, Pixel p) override { s_.SetPixel(x, y, p); }

  private:
    PixelSurface& s_;
};

TEST(PixelSurface, BlitClipsAtEveryEdgeLikeThePixelPath) {
    PixelSurface src(20, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) src.SetPixel(x, y, static_cast<Pixel>(y * 100 + x + 1));
    const struct {
        int dx, dy, w, h, sx, sy;
    } cases[] = {{0, 0, 15, 10, 5, 0},
                 {-3, -2, 15, 10, 0, 0},
                 {10, 5, 15, 10, 0, 0},
                 {2, 1, 30, 30, -4, -3},
                 {0, 0, 5, 5, 18, 8}};
    for (const auto& c : cases) {
        PixelSurface fast(16, 8, 7), slow(16, 8, 7);
        PixelSurface src_copy = src;
        Wrapped wrapped_src(src_copy);
        fast.BitBlt(c.dx, c.dy, c.w, c.h, src, c.sx, c.sy);
        slow.BitBlt(c.dx, c.dy, c.w, c.h, wrapped_src, c.sx, c.sy);
        EXPECT_EQ(fast.pixels(), slow.pixels())
            << c.dx << "," << c.dy << " from " << c.sx << "," << c.sy;
    }
    PixelSurface dest(16, 8, 7);
    dest.BitBlt(1, 1, 2, 2, src, 3, 4);
    EXPECT_EQ(dest.GetPixel(1, 1), 404u);
    EXPECT_EQ(dest.GetPixel(2, 2), 505u);
    EXPECT_EQ(dest.GetPixel(0, 0), 7u);
    EXPECT_EQ(dest.GetPixel(3, 3), 7u);
}

}  // namespace
}  // namespace kelvane
