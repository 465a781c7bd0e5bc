#pragma once
// A Surface backed by a memory DC and a DIB section: the LED displays draw into it with the
// real BitBlt, and the picture box window paints it to the screen in one copy (no flicker).
#include <windows.h>

#include "chip/surface.h"
#include "win32/handles.h"

namespace kelvane::win32 {

class DibSurface : public Surface {
public:
    DibSurface(int width, int height);
    ~DibSurface() override;
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    int width() const override { return width_; }
    int height() const override { return height_; }
    void BitBlt(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) override;
    Pixel GetPixel(int x, int y) const override;
    void SetPixel(int x, int y, Pixel p) override;

    HDC dc() const { return dc_.get(); }
    // Copies the whole surface to a window DC at (x, y).
    void PaintTo(HDC target, int x, int y) const;

private:
    int width_, height_;
    OwnedDc dc_;
    OwnedBitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
    Pixel* bits_ = nullptr;
};

}  // namespace kelvane::win32
