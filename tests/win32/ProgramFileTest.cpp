// What tagwright.exe carries in its resources, as shipped: the manifest that gives it common
// controls 6 and per-monitor dpi, its icon in both sizes, and its version.
#include "ProgramDriver.h"

#include "window/Version.h"
#include "window/win32/Resources.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace {

TEST(ProgramFile, CarriesItsManifestIconsAndVersion) {
    // Mapped as data only, and left mapped: the test program ends soon after.
    const HMODULE module =
        LoadLibraryExW(tagwright::test::besideThisProgram(L"tagwright.exe").c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const auto resource = [&](LPCWSTR name, LPCWSTR type) {
        HRSRC found = FindResourceW(module, name, type);
        const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return found ? std::string(data, SizeofResource(module, found)) : std::string();
    };
    // RT_MANIFEST, RT_VERSION, RT_GROUP_ICON, RT_ICON
    constexpr WORD manifestType = 24, versionType = 16, groupIconType = 14, iconType = 3;
    const std::string manifest = resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(manifestType));
    const std::string ownVersion = std::to_string(TAGWRIGHT_VERSION_MAJOR) + "." +
                                   std::to_string(TAGWRIGHT_VERSION_MINOR) + "." +
                                   std::to_string(TAGWRIGHT_VERSION_PATCH) + ".0";
    for (const std::string& part :
         {std::string("Microsoft.Windows.Common-Controls"), std::string("6.0.0.0"),
          std::string("PerMonitorV2"), "name=\"Tagwright\" version=\"" + ownVersion + "\""}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }

    // Windows picks an image of each size from the icon directory: one of 32 pixels and one of
    // 16, each a bitmap header of that width and twice the height (colour and mask).
    std::string directory =
        resource(MAKEINTRESOURCEW(TAGWRIGHT_ICON), MAKEINTRESOURCEW(groupIconType));
    ASSERT_FALSE(directory.empty());
    for (const int size : {32, 16}) {
        const int image = LookupIconIdFromDirectoryEx(reinterpret_cast<BYTE*>(directory.data()),
                                                      TRUE, size, size, LR_DEFAULTCOLOR);
        const std::string bitmap = resource(MAKEINTRESOURCEW(image), MAKEINTRESOURCEW(iconType));
        ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER)) << size;
        BITMAPINFOHEADER header{};
        bitmap.copy(reinterpret_cast<char*>(&header), sizeof header);
        EXPECT_EQ(std::pair(header.biWidth, header.biHeight),
                  std::pair(LONG(size), LONG(2 * size)));
    }

    const std::string version =
        resource(MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(versionType));
    ASSERT_GT(version.size(), sizeof(VS_FIXEDFILEINFO));
    const auto found = version.find("\xBD\x04\xEF\xFE"); // VS_FIXEDFILEINFO's signature
    ASSERT_NE(found, std::string::npos);
    VS_FIXEDFILEINFO fixed{};
    version.copy(reinterpret_cast<char*>(&fixed), sizeof fixed, found);
    EXPECT_EQ(std::tuple(fixed.dwFileVersionMS, fixed.dwFileVersionLS, fixed.dwFileType),
              std::tuple(DWORD{TAGWRIGHT_VERSION_MAJOR << 16 | TAGWRIGHT_VERSION_MINOR},
                         DWORD{TAGWRIGHT_VERSION_PATCH << 16}, DWORD{VFT_APP}));
}

} // namespace
