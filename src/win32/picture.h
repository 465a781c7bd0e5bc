#pragma once
// A skin picture (JPEG, BMP, ICO) loaded with the platform's picture loader.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <memory>
#include <string>

namespace kelvane::win32 {

class Picture {
public:
    static std::unique_ptr<Picture> Load(const std::string& path);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    int width_pixels() const { return width_; }
    int height_pixels() const { return height_; }
    // Draws at natural size with its top-left corner at (x, y).
    void Paint(HDC dc, int x, int y) const;
    // Copies out as an icon handle for the tray (nullptr when the picture is not an icon).
    HICON icon() const;

    // Only Load makes pictures; the key keeps the constructor usable by make_unique.
    class Key {
        friend class Picture;
        Key() = default;
    };
    Picture(Key, IPicture* picture);

private:
    IPicture* picture_;
    int width_ = 0, height_ = 0;
};

}  // namespace kelvane::win32
