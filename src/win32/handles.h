#pragma once
// RAII owners for the Win32 handles the shell keeps.
#include <windows.h>

#include <memory>
#include <type_traits>

namespace kelvane::win32 {

// Frees a handle with the API call that owns it; null handles (and INVALID_HANDLE_VALUE,
// which CreateFile returns on failure) are left alone.
template <typename H, auto Free>
struct HandleFree {
    void operator()(H h) const {
        if (h && h != INVALID_HANDLE_VALUE) Free(h);
    }
};

template <typename H, auto Free>
using Owned = std::unique_ptr<std::remove_pointer_t<H>, HandleFree<H, Free>>;

inline void FreeGdiObject(HGDIOBJ h) { DeleteObject(h); }

using OwnedBitmap = Owned<HBITMAP, FreeGdiObject>;
using OwnedFont = Owned<HFONT, FreeGdiObject>;
using OwnedBrush = Owned<HBRUSH, FreeGdiObject>;
using OwnedPen = Owned<HPEN, FreeGdiObject>;
using OwnedDc = Owned<HDC, DeleteDC>;
using OwnedIcon = Owned<HICON, DestroyIcon>;
using OwnedLibrary = Owned<HMODULE, FreeLibrary>;
using OwnedHandle = Owned<HANDLE, CloseHandle>;
using OwnedMenu = Owned<HMENU, DestroyMenu>;
using OwnedKey = Owned<HKEY, RegCloseKey>;
using OwnedFind = Owned<HANDLE, FindClose>;

}  // namespace kelvane::win32
