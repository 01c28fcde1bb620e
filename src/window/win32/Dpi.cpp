#include "window/win32/Dpi.h"

#include "window/win32/Handles.h"

namespace tagwright::window::win32 {

namespace {

template <typename Function> Function user32(const char* name) {
    HMODULE module = GetModuleHandleW(L"user32.dll");
    // The cast through void* keeps the function pointer conversion free of warnings.
    return module
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

UINT screenDpi() {
    const int dpi = GetDeviceCaps(WindowDc(nullptr).get(), LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : defaultDpi;
}

} // namespace

UINT dpiOf(HWND window) {
    static const auto getDpiForWindow = user32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window)) {
            return dpi;
        }
    }
    return screenDpi();
}

SIZE windowSizeForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto adjustForDpi =
        user32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, client.cx, client.cy};
    if (!adjustForDpi || !adjustForDpi(&rect, style, FALSE, exStyle, dpi)) {
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}

int systemMetric(int index, UINT dpi) {
    static const auto forDpi = user32<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    return forDpi ? forDpi(index, dpi) : GetSystemMetrics(index);
}

} // namespace tagwright::window::win32
