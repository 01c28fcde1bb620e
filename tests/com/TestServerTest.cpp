// The test servers themselves: one at a time, a named ProgID only while its server runs, and
// nothing left behind by a test program that dies.

#include "ServedEditor.h"
#include "support/TestDesign.h"

#include "host/Attach.h"
#include "host/Text.h"
#include "host/com/ComAttach.h"
#include "host/memory/DesignFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

using namespace tagwright;
using host::com::fromWide;
using host::com::wide;

namespace {

host::memory::Design design() {
    return host::memory::parseDesign(test::smallBoard, "small board");
}

std::wstring classesKey(std::u16string_view progId) {
    return L"Software\\Classes\\" + std::wstring(wide(progId), progId.size());
}

// The class a ProgID maps to in `root`'s classes, or "-" when it maps to nothing there.
std::wstring mappingIn(HKEY root, std::u16string_view progId) {
    wchar_t value[128];
    DWORD size = sizeof value;
    if (RegGetValueW(root, (classesKey(progId) + L"\\CLSID").c_str(), nullptr, RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS) {
        return L"-";
    }
    return value;
}

void setMapping(HKEY root, std::u16string_view progId, const std::wstring& value) {
    RegDeleteTreeW(root, classesKey(progId).c_str());
    if (value != L"-") {
        RegSetKeyValueW(root, (classesKey(progId) + L"\\CLSID").c_str(), nullptr, REG_SZ,
                        value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
}

bool within(DWORD milliseconds, const std::function<bool()>& condition) {
    for (DWORD waited = 0; !condition(); waited += 100) {
        if (waited >= milliseconds) {
            return false;
        }
        Sleep(100);
    }
    return true;
}

TEST(TestServer, ASecondOneIsRefused) {
    test::InProcessEditor running(design());
    EXPECT_THROW(test::InProcessEditor second(design()), std::runtime_error);
    try {
        test::EditorProcess second(design());
        ADD_FAILURE() << "a second server started";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "another test server is running");
    }
    EXPECT_EQ(test::attachTestEditor().activeDocument().layerCount(), 3);
}

// A mapping to the test class found at the start is a leftover of a killed server: removed,
// not put back. Anything else is put back.
TEST(TestServer, ANamedProgIdMapsToItOnlyWhileItRuns) {
    constexpr std::u16string_view progId = u"Tagwright.TestEditor.Named";
    wchar_t testClass[64];
    StringFromGUID2(host::com::testServerClsid, testClass, 64);
    for (const std::wstring& before : {std::wstring(L"-"), std::wstring(testClass),
                                       std::wstring(L"{0E1D2C3B-4A59-6877-8695-A4B3C2D1E0F1}")}) {
        SCOPED_TRACE(host::toUtf8(fromWide(before.c_str(), before.size())));
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            setMapping(root, progId, before);
        }
        {
            host::com::ServerOptions options;
            options.progId = progId;
            test::EditorProcess editor(design(), options);
            EXPECT_EQ(host::com::attachRunningObject(progId).activeDocument().layerCount(), 3);
            editor.finish();
        }
        const std::wstring after = before == testClass ? L"-" : before;
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            EXPECT_EQ(mappingIn(root, progId), after);
            setMapping(root, progId, L"-");
        }
    }
}

// A test program that dies (a crash, a CTest timeout) takes its server with it, and leaves no
// ProgID behind that could hide the real editor or be taken for it later.
TEST(TestServer, AKilledTestProgramLeavesNoServerAndNoRegistryEntry) {
    auto registry = [] {
        std::vector<std::wstring> mappings;
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            mappings.push_back(mappingIn(root, host::editorProgId));
            mappings.push_back(mappingIn(root, host::com::testServerProgId));
        }
        return mappings;
    };
    const std::vector<std::wstring> before = registry();
    EXPECT_EQ(before[1] + before[3], L"--") << "the test ProgID is in no registry";

    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    auto parent = std::filesystem::path(self).parent_path() / L"tagwright-com-server-parent.exe";
    auto pidFile = std::filesystem::temp_directory_path() /
                   (L"tagwright-server-" + std::to_wstring(GetCurrentProcessId()) + L".pid");
    std::filesystem::remove(pidFile);
    std::wstring command = L"\"" + parent.wstring() + L"\" \"" + pidFile.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &program));
    DWORD serverId = 0;
    within(30000, [&] { return bool(std::ifstream(pidFile) >> serverId); });
    HANDLE server = OpenProcess(SYNCHRONIZE, FALSE, serverId);
    EXPECT_TRUE(server) << "the test program started its server";
    EXPECT_TRUE(host::com::isRunning(host::com::testServerClsid));

    TerminateProcess(program.hProcess, 9);
    WaitForSingleObject(program.hProcess, 10000);
    CloseHandle(program.hProcess);
    CloseHandle(program.hThread);
    if (server) {
        EXPECT_EQ(WaitForSingleObject(server, 10000), WAIT_OBJECT_0) << "the server lived on";
        CloseHandle(server);
    }
    // The table drops the entry of a process that has gone, soon after.
    EXPECT_TRUE(within(5000, [] { return !host::com::isRunning(host::com::testServerClsid); }));
    EXPECT_EQ(registry(), before);
    std::filesystem::remove(pidFile);
}

} // namespace
