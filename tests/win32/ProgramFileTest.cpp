// What tagwright.exe carries in its resources, as shipped: the manifest that gives it common
// controls 6 and per-monitor dpi, its icon in both sizes, and its version.
#include "ProgramDriver.h"

#include "window/Version.h"
#include "window/win32/Resources.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ProgramFile : testing::Test {
    void SetUp() override {
        module = LoadLibraryExW(tagwright::test::besideThisProgram(L"tagwright.exe").c_str(),
                                nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override {
        if (module)
            FreeLibrary(module);
    }
    std::string resource(LPCWSTR name, LPCWSTR type) const {
        HRSRC found = FindResourceW(module, name, type);
        if (!found)
            return {};
        const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(data, SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

TEST_F(ProgramFile, CarriesItsManifestIconsAndVersion) {
    constexpr WORD manifestType = 24, versionType = 16; // RT_MANIFEST, RT_VERSION
    const std::string manifest = resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(manifestType));
    const std::string ownVersion = std::to_string(TAGWRIGHT_VERSION_MAJOR) + "." +
                                   std::to_string(TAGWRIGHT_VERSION_MINOR) + "." +
                                   std::to_string(TAGWRIGHT_VERSION_PATCH) + ".0";
    for (const std::string& part :
         {std::string("Microsoft.Windows.Common-Controls"), std::string("6.0.0.0"),
          std::string("PerMonitorV2"), "name=\"Tagwright\" version=\"" + ownVersion + "\""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;

    for (const int size : {32, 16}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(TAGWRIGHT_ICON), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        GetIconInfo(icon, &info);
        BITMAP bitmap{};
        GetObjectW(info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
        DestroyIcon(icon);
    }

    const std::string version =
        resource(MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(versionType));
    ASSERT_GT(version.size(), sizeof(VS_FIXEDFILEINFO));
    const auto found = version.find("\xBD\x04\xEF\xFE"); // VS_FIXEDFILEINFO's signature
    ASSERT_NE(found, std::string::npos);
    VS_FIXEDFILEINFO fixed{};
    version.copy(reinterpret_cast<char*>(&fixed), sizeof fixed, found);
    EXPECT_EQ(fixed.dwFileVersionMS,
              DWORD{TAGWRIGHT_VERSION_MAJOR << 16 | TAGWRIGHT_VERSION_MINOR});
    EXPECT_EQ(fixed.dwFileVersionLS, DWORD{TAGWRIGHT_VERSION_PATCH << 16});
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
}

} // namespace
