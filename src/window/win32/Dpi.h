#pragma once

#include <windows.h>

namespace tagwright::window::win32 {

inline constexpr UINT defaultDpi = 96;

// The dpi of the monitor that shows `window` where the system tells it per monitor (Windows 10
// 1607 and later), the screen's otherwise. The calls are looked up at run time, so the program
// still starts on older systems.
UINT dpiOf(HWND window);

// The window rectangle around a client area of `client` pixels, for a window of these styles
// on a monitor of `dpi`.
SIZE windowSizeForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi);

// GetSystemMetrics for a monitor of `dpi`.
int systemMetric(int index, UINT dpi);

// Twips to pixels on a monitor of `dpi`: 1440 twips make an inch.
inline int pixels(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

} // namespace tagwright::window::win32
