#pragma once

class QByteArray;
class QWidget;

namespace tagwright::window::qt {

// Keeps `window` off the taskbar. On X11 no window flag does this, so the window's own
// _NET_WM_STATE gets _NET_WM_STATE_SKIP_TASKBAR before it is mapped; the window manager drops
// that state when the window is withdrawn, so this runs again before every show. Elsewhere, or
// without an X11 connection, it does nothing.
void keepOffTaskbar(QWidget* window);

// Whether the window's _NET_WM_STATE asks to skip the taskbar (false where there is no X11).
bool isKeptOffTaskbar(QWidget* window);

// Whether a native event of `window` is the window manager asking it to close (WM_DELETE_WINDOW
// on X11): Qt drops that request, before any close event, while a modal window blocks `window`.
// False elsewhere.
bool isWindowManagerClose(QWidget* window, const QByteArray& eventType, void* message);

} // namespace tagwright::window::qt
