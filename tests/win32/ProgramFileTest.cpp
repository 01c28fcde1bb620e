// What tagwright.exe carries in its resources, as shipped: the manifest that gives it common
// controls 6 and per-monitor dpi, its icon in both sizes, and its version.
#include "ProgramDriver.h"

#include "window/Version.h"
#include "window/win32/Resources.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

struct ProgramFile : testing::Test {
    void SetUp() override {
        module = LoadLibraryExW(tagwright::test::besideThisProgram(L"tagwright.exe").c_str(),
                                nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override {
        if (module) {
            FreeLibrary(module);
        }
    }
    std::string resource(LPCWSTR name, LPCWSTR type) const {
        HRSRC found = FindResourceW(module, name, type);
        if (!found) {
            return {};
        }
        const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(data, SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

TEST_F(ProgramFile, CarriesItsManifestIconsAndVersion) {
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

    // The icon directory as the resource compiler wrote it (GRPICONDIR): one entry for each
    // size, each naming the image (RT_ICON) of that size; Windows picks among them by size.
    const std::string directory =
        resource(MAKEINTRESOURCEW(TAGWRIGHT_ICON), MAKEINTRESOURCEW(groupIconType));
    ASSERT_GE(directory.size(), 6u);
    const auto word = [](const std::string& data, std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(data.at(at)) |
                                     static_cast<unsigned char>(data.at(at + 1)) << 8);
    };
    std::vector<std::pair<unsigned, unsigned>> sizes;
    for (unsigned entry = 0; entry < word(directory, 4); ++entry) {
        const std::size_t at = 6 + 14 * entry;
        sizes.emplace_back(static_cast<unsigned char>(directory.at(at)),
                           static_cast<unsigned char>(directory.at(at + 1)));
        // The image itself: a bitmap header of that width, twice the height (colour and mask).
        const std::string image =
            resource(MAKEINTRESOURCEW(word(directory, at + 12)), MAKEINTRESOURCEW(iconType));
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER)) << entry;
        BITMAPINFOHEADER header{};
        image.copy(reinterpret_cast<char*>(&header), sizeof header);
        EXPECT_EQ(std::pair(header.biWidth, header.biHeight),
                  std::pair(LONG(sizes.back().first), LONG(2 * sizes.back().second)));
    }
    EXPECT_EQ(sizes, (std::vector<std::pair<unsigned, unsigned>>{{32, 32}, {16, 16}}));

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
