#include "EditorProcess.h"

#include "ProgramDriver.h"

#include "host/Attach.h"
#include "host/memory/DesignFile.h"

#include <filesystem>
#include <stdexcept>

namespace tagwright::test {

namespace {

std::wstring unique(const wchar_t* stem) {
    static int counter = 0;
    return std::wstring(stem) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
}

std::wstring temporary(const std::wstring& name) {
    return (std::filesystem::temp_directory_path() / name).wstring();
}

} // namespace

EditorProcess::EditorProcess(const host::memory::Design& design, EditorBehaviour behaviour)
    : progId_(host::editorProgId, host::com::testServerClsid),
      designPath_(temporary(unique(L"tagwright-session") + L".json")),
      savePath_(temporary(unique(L"tagwright-saved") + L".json")) {
    host::memory::saveDesign(design, designPath_);
    const std::wstring ready = unique(L"Local\\tagwright-session-ready");
    HANDLE readyEvent = CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    const std::u16string progId = host::editorProgId;
    std::wstring command = L"\"" + besideThisProgram(L"tagwright-com-server.exe") +
                           L"\" --prog-id " + std::wstring(progId.begin(), progId.end()) +
                           L" --ready " + ready + L" --save \"" + savePath_ +
                           L"\" --call-delay-us " + std::to_wstring(behaviour.callDelay.count());
    if (behaviour.hangAfter >= 0) {
        command += L" --hang-after " + std::to_wstring(behaviour.hangAfter);
    }
    if (behaviour.rejectedCalls != 0) {
        command += L" --reject " + std::to_wstring(behaviour.rejectedCalls);
    }
    command += L" \"" + designPath_ + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
        CloseHandle(readyEvent);
        throw std::runtime_error("cannot start tagwright-com-server.exe");
    }
    HANDLE waitFor[] = {readyEvent, process_.hProcess};
    const DWORD woke = WaitForMultipleObjects(2, waitFor, FALSE, 30000);
    CloseHandle(readyEvent);
    if (woke != WAIT_OBJECT_0) {
        kill();
        throw std::runtime_error("tagwright-com-server.exe did not come up");
    }
}

EditorProcess::~EditorProcess() {
    kill();
    DeleteFileW(designPath_.c_str());
    DeleteFileW(savePath_.c_str());
}

host::memory::Design EditorProcess::finish() {
    PostThreadMessageW(process_.dwThreadId, WM_QUIT, 0, 0);
    const bool ended = WaitForSingleObject(process_.hProcess, 10000) == WAIT_OBJECT_0;
    DWORD code = 1;
    GetExitCodeProcess(process_.hProcess, &code);
    kill();
    if (!ended || code != 0) {
        throw std::runtime_error("tagwright-com-server.exe did not end cleanly");
    }
    return host::memory::loadDesign(savePath_);
}

void EditorProcess::kill() {
    if (!process_.hProcess) {
        return;
    }
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
}

} // namespace tagwright::test
