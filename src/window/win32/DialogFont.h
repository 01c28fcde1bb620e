#pragma once

#include "window/win32/Handles.h"

#include <windows.h>

#include <span>
#include <string>

namespace tagwright::window::win32 {

// The font of every control: SimSun 9 pt in the simplified Chinese character set. SimSun is
// optional on Windows outside China, so where it is missing the window takes Microsoft YaHei
// UI, then whatever face the font mapper gives for the Chinese character set, then a known
// Chinese face, and only then the system's own dialog font. A face counts only when it has a
// glyph for every caption: a face picked by name alone may be replaced by one that has none.
class DialogFont {
  public:
    explicit DialogFont(UINT dpi);

    HFONT handle() const { return font_.get(); }
    // The height of a line of text in this font, in pixels.
    int lineHeight() const { return lineHeight_; }

    // The face the window uses on this system, with its character set.
    static LOGFONTW chosenFace();
    // The same search, with `designed` as the faces wanted first and `system` as the last
    // resort.
    static LOGFONTW chosenFace(std::span<const wchar_t* const> designed, const LOGFONTW& system);

  private:
    UniqueFont font_;
    int lineHeight_ = 0;
};

} // namespace tagwright::window::win32
