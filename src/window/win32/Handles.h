#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace tagwright::window::win32 {

// Win32 handles that free themselves: every window, icon, GDI object and device context the
// window code makes or borrows is held by one of these, so that a throw half way through
// building the window frees what was built. Move-only, each freed exactly once.

namespace handles {

template <class Handle, BOOL(WINAPI* free)(Handle)> struct Free {
    void operator()(Handle handle) const { free(handle); }
};

// A GDI object of any kind (font, bitmap, brush), freed with DeleteObject.
template <class Handle> struct DeleteGdiObject {
    void operator()(Handle handle) const { DeleteObject(handle); }
};

template <class Handle, class Deleter>
using Unique = std::unique_ptr<std::remove_pointer_t<Handle>, Deleter>;

} // namespace handles

// A window of this program's, destroyed with its children and owned windows.
using UniqueWindow = handles::Unique<HWND, handles::Free<HWND, DestroyWindow>>;
using UniqueIcon = handles::Unique<HICON, handles::Free<HICON, DestroyIcon>>;
using UniqueFont = handles::Unique<HFONT, handles::DeleteGdiObject<HFONT>>;
using UniqueBitmap = handles::Unique<HBITMAP, handles::DeleteGdiObject<HBITMAP>>;
using UniqueBrush = handles::Unique<HBRUSH, handles::DeleteGdiObject<HBRUSH>>;
// A memory device context (CreateCompatibleDC).
using UniqueMemoryDc = handles::Unique<HDC, handles::Free<HDC, DeleteDC>>;

// A window's device context (GetDC), or the screen's for no window, released at the end of
// the scope.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// Selects a GDI object into a device context for the scope, and the one it replaced back at
// its end, so the object can be freed and the context goes back as it came.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_) {
            SelectObject(dc_, previous_);
        }
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Memory the system allocated for the caller with LocalAlloc (CommandLineToArgvW's array).
template <class T> struct LocalFreed {
    void operator()(T* memory) const { LocalFree(memory); }
};
template <class T> using UniqueLocal = std::unique_ptr<T, LocalFreed<T>>;

} // namespace tagwright::window::win32
