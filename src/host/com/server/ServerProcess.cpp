#include "host/com/server/ServerProcess.h"

#include "host/Attach.h"
#include "host/memory/DesignFile.h"

#include <atomic>
#include <filesystem>
#include <stdexcept>

namespace tagwright::host::com {

namespace {

// Generous for a cold Wine prefix; a server that is up answers in milliseconds.
constexpr DWORD startTimeoutMs = 30000;
constexpr DWORD quitTimeoutMs = 10000;

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::filesystem::path self(std::wstring(path, length));
    return (self.parent_path() / name).wstring();
}

std::wstring uniqueName(const wchar_t* stem) {
    static std::atomic<int> counter{0};
    return std::wstring(stem) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
}

std::wstring tempFile(const std::wstring& name) {
    return (std::filesystem::temp_directory_path() / name).wstring();
}

} // namespace

ServerProcess::ServerProcess(const memory::Design& design)
    : progId_(editorProgId, testServerClsid),
      designPath_(tempFile(uniqueName(L"tagwright-design") + L".json")),
      savePath_(tempFile(uniqueName(L"tagwright-saved") + L".json")) {
    memory::saveDesign(design, designPath_);
    std::wstring readyName = uniqueName(L"Local\\tagwright-editor-ready");
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    std::wstring command = L"\"" + besideThisProgram(L"tagwright-com-server.exe") + L"\" --ready " +
                           readyName + L" --save \"" + savePath_ + L"\" \"" + designPath_ + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
        CloseHandle(ready);
        throw std::runtime_error("cannot start tagwright-com-server.exe");
    }
    HANDLE waitFor[] = {ready, process_.hProcess};
    DWORD woke = WaitForMultipleObjects(2, waitFor, FALSE, startTimeoutMs);
    CloseHandle(ready);
    if (woke != WAIT_OBJECT_0) {
        kill();
        throw std::runtime_error("tagwright-com-server.exe did not come up");
    }
}

ServerProcess::~ServerProcess() {
    if (process_.hProcess) {
        kill();
    }
    DeleteFileW(designPath_.c_str());
    DeleteFileW(savePath_.c_str());
}

memory::Design ServerProcess::finish() {
    PostThreadMessageW(process_.dwThreadId, WM_QUIT, 0, 0);
    bool ended = WaitForSingleObject(process_.hProcess, quitTimeoutMs) == WAIT_OBJECT_0;
    DWORD code = 1;
    GetExitCodeProcess(process_.hProcess, &code);
    kill();
    if (!ended || code != 0) {
        throw std::runtime_error("tagwright-com-server.exe did not end cleanly");
    }
    return memory::loadDesign(savePath_);
}

void ServerProcess::kill() {
    if (!process_.hProcess) {
        return;
    }
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, quitTimeoutMs);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
}

} // namespace tagwright::host::com
