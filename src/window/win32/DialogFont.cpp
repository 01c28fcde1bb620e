#include "window/win32/DialogFont.h"

#include "window/WindowDescription.h"
#include "window/win32/Dpi.h"
#include "window/win32/Handles.h"

#include <cwchar>
#include <optional>
#include <vector>

namespace tagwright::window::win32 {

namespace {

constexpr int pointSize = 9;

constexpr const wchar_t* designedFaces[] = {L"SimSun", L"Microsoft YaHei UI"};
// Simplified Chinese faces of Windows, then those a Linux system running Wine usually has.
constexpr const wchar_t* chineseFaces[] = {L"Microsoft YaHei",
                                           L"DengXian",
                                           L"SimHei",
                                           L"NSimSun",
                                           L"KaiTi",
                                           L"FangSong",
                                           L"Noto Sans CJK SC",
                                           L"Source Han Sans SC",
                                           L"WenQuanYi Zen Hei",
                                           L"WenQuanYi Micro Hei",
                                           L"AR PL UMing CN"};

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

// Every character of the window's captions beyond ASCII, which any face draws.
const std::wstring& captionCharacters() {
    static const std::wstring characters = [] {
        std::wstring all;
        const auto add = [&all](const char16_t* text) {
            for (; text && *text; ++text) {
                if (*text > 0x7F && all.find(static_cast<wchar_t>(*text)) == std::wstring::npos) {
                    all.push_back(static_cast<wchar_t>(*text));
                }
            }
        };
        for (const ControlDescription& described : windowDescription()) {
            add(described.text);
        }
        for (const char16_t* caption : pageCaptions) {
            add(caption);
        }
        return all;
    }();
    return characters;
}

// The face the font mapper realises for `wanted`, when it has a glyph for every caption.
// A face asked for by name may be replaced by one without Chinese, and a face linked to
// another for the missing glyphs (as system faces are) still counts as missing them: the
// controls measure text in the face itself.
std::optional<LOGFONTW> drawingCaptions(const LOGFONTW& wanted) {
    LOGFONTW request = wanted;
    request.lfHeight = -MulDiv(pointSize, static_cast<int>(defaultDpi), 72);
    const UniqueFont font(CreateFontIndirectW(&request));
    if (!font) {
        return std::nullopt;
    }
    const WindowDc screen(nullptr);
    const SelectedObject selected(screen.get(), font.get());
    const std::wstring& text = captionCharacters();
    std::vector<WORD> glyphs(text.size());
    if (GetGlyphIndicesW(screen.get(), text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) {
        return std::nullopt;
    }
    for (const WORD glyph : glyphs) {
        if (glyph == 0xFFFF) {
            return std::nullopt;
        }
    }
    wchar_t realised[LF_FACESIZE] = {};
    if (GetTextFaceW(screen.get(), LF_FACESIZE, realised) == 0) {
        return std::nullopt;
    }
    return face(realised, static_cast<BYTE>(GetTextCharset(screen.get())));
}

} // namespace

LOGFONTW DialogFont::chosenFace() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    const LOGFONTW system =
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)
            ? face(metrics.lfMessageFont.lfFaceName, metrics.lfMessageFont.lfCharSet)
            : face(L"MS Shell Dlg 2", DEFAULT_CHARSET);
    return chosenFace(designedFaces, system);
}

LOGFONTW DialogFont::chosenFace(std::span<const wchar_t* const> designed, const LOGFONTW& system) {
    for (const wchar_t* name : designed) {
        if (installed(name, GB2312_CHARSET)) {
            if (const auto found = drawingCaptions(face(name, GB2312_CHARSET))) {
                return *found;
            }
        }
    }
    // The mapper knows the Chinese faces of this system: asked for the designed ones in the
    // Chinese character set, or for none, it picks one that has the character set.
    for (const wchar_t* name : designed) {
        if (const auto found = drawingCaptions(face(name, GB2312_CHARSET))) {
            return *found;
        }
    }
    if (const auto found = drawingCaptions(face(L"", GB2312_CHARSET))) {
        return *found;
    }
    for (const wchar_t* name : chineseFaces) {
        if (const auto found = drawingCaptions(face(name, DEFAULT_CHARSET))) {
            return *found;
        }
    }
    return system;
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
