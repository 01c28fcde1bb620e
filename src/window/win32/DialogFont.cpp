#include "window/win32/DialogFont.h"

#include "window/win32/Handles.h"

#include <cwchar>

namespace tagwright::window::win32 {

namespace {

constexpr int pointSize = 9;

bool installed(const wchar_t* face, BYTE charSet) {
    LOGFONTW wanted{};
    wanted.lfCharSet = charSet;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    const WindowDc screen(nullptr);
    EnumFontFamiliesExW(
        screen.get(), &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

LOGFONTW face(const wchar_t* name, BYTE charSet) {
    LOGFONTW font{};
    font.lfCharSet = charSet;
    wcsncpy(font.lfFaceName, name, LF_FACESIZE - 1);
    return font;
}

} // namespace

LOGFONTW DialogFont::chosenFace() {
    for (const wchar_t* name : {L"SimSun", L"Microsoft YaHei UI"}) {
        if (installed(name, GB2312_CHARSET)) {
            return face(name, GB2312_CHARSET);
        }
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return face(metrics.lfMessageFont.lfFaceName, metrics.lfMessageFont.lfCharSet);
    }
    return face(L"MS Shell Dlg 2", DEFAULT_CHARSET);
}

DialogFont::DialogFont(UINT dpi) {
    LOGFONTW font = chosenFace();
    font.lfHeight = -MulDiv(pointSize, static_cast<int>(dpi), 72);
    font.lfWeight = FW_NORMAL;
    font.lfQuality = DEFAULT_QUALITY;
    font_.reset(CreateFontIndirectW(&font));

    const WindowDc screen(nullptr);
    const SelectedObject selected(screen.get(), font_.get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.get(), &metrics);
    lineHeight_ = metrics.tmHeight;
}

} // namespace tagwright::window::win32
