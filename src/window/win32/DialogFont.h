#pragma once

#include "window/win32/Handles.h"

#include <windows.h>

#include <string>

namespace tagwright::window::win32 {

// The font of every control: SimSun 9 pt in the simplified Chinese character set. SimSun is
// optional on Windows outside China, so where it is missing the window takes Microsoft YaHei
// UI, and then the system's own dialog font; each of them draws Chinese, unlike a face picked
// by name alone, which the system would replace with one that may not.
class DialogFont {
  public:
    explicit DialogFont(UINT dpi);

    HFONT handle() const { return font_.get(); }
    // The height of a line of text in this font, in pixels.
    int lineHeight() const { return lineHeight_; }

    // The face the window uses on this system, with its character set.
    static LOGFONTW chosenFace();

  private:
    UniqueFont font_;
    int lineHeight_ = 0;
};

} // namespace tagwright::window::win32
