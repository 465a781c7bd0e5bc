#include "win32/dib_surface.h"

namespace kelvane::win32 {

DibSurface::DibSurface(int width, int height)
    : width_(width > 0 ? width : 1), height_(height > 0 ? height : 1) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down rows, like PixelSurface
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_.reset(CreateCompatibleDC(nullptr));
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<Pixel*>(bits);
    if (bitmap_) previous_ = SelectObject(dc_.get(), bitmap_.get());
    if (bits_) {
        for (int i = 0; i < width_ * height_; ++i) bits_[i] = 0;
    }
}

DibSurface::~DibSurface() {
    if (previous_) SelectObject(dc_.get(), previous_);
}

void DibSurface::BitBlt(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) {
    if (const auto* dib = dynamic_cast<const DibSurface*>(&src)) {
        ::BitBlt(dc_.get(), dx, dy, w, h, dib->dc(), sx, sy, SRCCOPY);
        GdiFlush();
        return;
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int fx = sx + x, fy = sy + y;
            if (fx < 0 || fy < 0 || fx >= src.width() || fy >= src.height()) continue;
            SetPixel(dx + x, dy + y, src.GetPixel(fx, fy));
        }
}

Pixel DibSurface::GetPixel(int x, int y) const {
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    GdiFlush();
    return bits_[y * width_ + x] & 0x00FFFFFF;
}

void DibSurface::SetPixel(int x, int y, Pixel p) {
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return;
    GdiFlush();
    bits_[y * width_ + x] = p & 0x00FFFFFF;
}

void DibSurface::PaintTo(HDC target, int x, int y) const {
    ::BitBlt(target, x, y, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}

}  // namespace kelvane::win32
