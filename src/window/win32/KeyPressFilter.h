#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

namespace tagwright::window::win32 {

// Sees the code of each typed character before the field inserts it and drops it by setting
// the code to 0.
using KeyPressHandler = std::function<void(std::int16_t& keyAscii)>;

// Routes every character typed into the edit control `field` through `handler` (WM_CHAR, into
// which input methods deliver their text too). Keys that type nothing (arrows, Delete, Home,
// End) never become characters and keep their editing behaviour; pasted text is not examined.
// The filter goes with the control.
void filterTypedCharacters(HWND field, KeyPressHandler handler);

} // namespace tagwright::window::win32
