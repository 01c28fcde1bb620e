#include "window/win32/KeyPressFilter.h"

#include <commctrl.h>

namespace tagwright::window::win32 {

namespace {

LRESULT CALLBACK filteredField(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR data) {
    auto* handler = reinterpret_cast<KeyPressHandler*>(data);
    switch (message) {
    case WM_CHAR: {
        // One UTF-16 code unit a message; as a 16-bit signed code every unit stays distinct.
        auto keyAscii = static_cast<std::int16_t>(static_cast<std::uint16_t>(wParam));
        (*handler)(keyAscii);
        if (keyAscii == 0) {
            return 0;
        }
        wParam = static_cast<std::uint16_t>(keyAscii);
        break;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(field, filteredField, id);
        delete handler;
        break;
    default:
        break;
    }
    return DefSubclassProc(field, message, wParam, lParam);
}

} // namespace

void filterTypedCharacters(HWND field, KeyPressHandler handler) {
    auto* owned = new KeyPressHandler(std::move(handler));
    if (!SetWindowSubclass(field, filteredField, 1, reinterpret_cast<DWORD_PTR>(owned))) {
        delete owned;
    }
}

} // namespace tagwright::window::win32
