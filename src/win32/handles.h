#pragma once
// RAII owners for the Win32 handles the shell keeps.
#include <windows.h>

#include <memory>
#include <type_traits>

namespace kelvane::win32 {

struct GdiObjectDeleter {
    void operator()(HGDIOBJ h) const {
        if (h) DeleteObject(h);
    }
};
struct DcDeleter {
    void operator()(HDC h) const {
        if (h) DeleteDC(h);
    }
};
struct IconDeleter {
    void operator()(HICON h) const {
        if (h) DestroyIcon(h);
    }
};
struct LibraryDeleter {
    void operator()(HMODULE h) const {
        if (h) FreeLibrary(h);
    }
};
struct HandleDeleter {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
struct MenuDeleter {
    void operator()(HMENU h) const {
        if (h) DestroyMenu(h);
    }
};
struct KeyDeleter {
    void operator()(HKEY h) const {
        if (h) RegCloseKey(h);
    }
};

template <typename H, typename D>
using Owned = std::unique_ptr<std::remove_pointer_t<H>, D>;

using OwnedBitmap = Owned<HBITMAP, GdiObjectDeleter>;
using OwnedFont = Owned<HFONT, GdiObjectDeleter>;
using OwnedBrush = Owned<HBRUSH, GdiObjectDeleter>;
using OwnedDc = Owned<HDC, DcDeleter>;
using OwnedIcon = Owned<HICON, IconDeleter>;
using OwnedLibrary = Owned<HMODULE, LibraryDeleter>;
using OwnedHandle = Owned<HANDLE, HandleDeleter>;
using OwnedMenu = Owned<HMENU, MenuDeleter>;
using OwnedKey = Owned<HKEY, KeyDeleter>;

}  // namespace kelvane::win32
