#include "win32/picture.h"

#include <vector>

#include "win32/handles.h"

namespace kelvane::win32 {
namespace {

constexpr double kHimetricPerInch = 2540.0;

}  // namespace

std::unique_ptr<Picture> Picture::Load(const std::string& path) {
    OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return nullptr;
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == 0 || size == INVALID_FILE_SIZE || size > 64u * 1024 * 1024) return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    void* data = GlobalLock(memory);
    DWORD got = 0;
    const BOOL read = data && ReadFile(file.get(), data, size, &got, nullptr) && got == size;
    if (data) GlobalUnlock(memory);
    if (!read) {
        GlobalFree(memory);
        return nullptr;
    }
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return nullptr;
    }
    IPicture* picture = nullptr;
    const HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                      reinterpret_cast<void**>(&picture));
    stream->Release();  // frees the memory too
    if (FAILED(hr) || !picture) return nullptr;
    return std::make_unique<Picture>(Key{}, picture);
}

Picture::Picture(Key, IPicture* picture) : picture_(picture) {
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    picture_->get_Width(&w);
    picture_->get_Height(&h);
    HDC screen = GetDC(nullptr);
    width_ = static_cast<int>(w * GetDeviceCaps(screen, LOGPIXELSX) / kHimetricPerInch + 0.5);
    height_ = static_cast<int>(h * GetDeviceCaps(screen, LOGPIXELSY) / kHimetricPerInch + 0.5);
    ReleaseDC(nullptr, screen);
}

Picture::~Picture() { picture_->Release(); }

void Picture::Paint(HDC dc, int x, int y) const {
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    picture_->get_Width(&w);
    picture_->get_Height(&h);
    picture_->Render(dc, x, y, width_, height_, 0, h, w, -h, nullptr);
}

HICON Picture::icon() const {
    SHORT type = PICTYPE_UNINITIALIZED;
    picture_->get_Type(&type);
    if (type != PICTYPE_ICON) return nullptr;
    OLE_HANDLE handle = 0;
    picture_->get_Handle(&handle);
    return reinterpret_cast<HICON>(static_cast<UINT_PTR>(handle));
}

}  // namespace kelvane::win32
