#include "ProgramDriver.h"

#include "host/Text.h"
#include "window/win32/ProgressWindow.h"
#include "window/win32/Win32Window.h"

#include <atomic>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace tagwright::test {

namespace {

// Asked of the window: GetWindowText reads no control of another process.
std::wstring textOf(HWND control) {
    wchar_t text[1024] = {};
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::string utf8(const std::wstring& text) {
    return host::toUtf8({reinterpret_cast<const char16_t*>(text.data()), text.size()});
}

// The program's visible top-level window of `className` (and `caption`, when given).
HWND windowOf(DWORD threadId, const wchar_t* className, const wchar_t* caption = nullptr) {
    for (HWND found = nullptr; (found = FindWindowExW(nullptr, found, className, caption));) {
        if (GetWindowThreadProcessId(found, nullptr) == threadId && IsWindowVisible(found)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

void PrintTo(const ShownMessage& message, std::ostream* out) {
    *out << "\"" << utf8(message.text) << "\" titled \"" << utf8(message.title) << "\""
         << (message.ownedByWindow ? "" : ", standing alone")
         << (message.okOnly ? "" : ", not OK only") << (message.withIcon ? ", with an icon" : "");
}

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return (std::filesystem::path(std::wstring(path, length)).parent_path() / name).wstring();
}

ProgramUnderTest::ProgramUnderTest() {
    std::wstring command = L"\"" + besideThisProgram(L"tagwright.exe") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process_)) {
        throw std::runtime_error("cannot start tagwright.exe");
    }
    // One copy runs per session: a program outliving a test killed on its timeout would make
    // every later test's program end at its start. The job ends it with this process.
    static const HANDLE endsWithThisProcess = [] {
        const HANDLE job = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return job;
    }();
    AssignProcessToJobObject(endsWithThisProcess, process_.hProcess);
    ResumeThread(process_.hThread);
}

ProgramUnderTest::~ProgramUnderTest() {
    if (waitForExit(0) < 0) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

bool ProgramUnderTest::waitForWindow(DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end) {
        window_ = windowOf(process_.dwThreadId, window::win32::windowClassName,
                           window::win32::windowCaption);
        if (window_) {
            return true;
        }
        if (!dismissMessage(messages_)) {
            if (WaitForSingleObject(process_.hProcess, 10) == WAIT_OBJECT_0) {
                return false;
            }
        }
    }
    return false;
}

bool ProgramUnderTest::dismissMessage(std::vector<ShownMessage>& into) {
    HWND box = windowOf(process_.dwThreadId, L"#32770");
    if (!box) {
        return false;
    }
    ShownMessage message{textOf(GetDlgItem(box, 0xFFFF)), textOf(box),
                         window_ && GetWindow(box, GW_OWNER) == window_};
    int buttons = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) {
            continue;
        }
        const std::wstring kind = classOf(child);
        if (kind == L"Button") {
            ++buttons;
        } else if (kind == L"Static" &&
                   (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            message.withIcon = message.withIcon || SendMessageW(child, STM_GETICON, 0, 0) != 0;
        }
    }
    const HWND ok = GetDlgItem(box, IDOK);
    message.okOnly = buttons == 1 && ok && IsWindowVisible(ok);
    into.push_back(message);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    // Gone before the next look, so one box is never read twice.
    for (int tries = 0; tries < 1000 && IsWindow(box); ++tries) {
        Sleep(5);
    }
    return true;
}

HWND ProgramUnderTest::control(window::ControlId id) const {
    return GetDlgItem(window_, window::win32::controlId(id));
}

std::vector<ShownMessage> ProgramUnderTest::click(window::ControlId id,
                                                  const std::wstring& cancelWhenProgressSays) {
    std::vector<ShownMessage> shown;
    HWND button = control(id);
    std::atomic<bool> done = false;
    // Sent from a thread of its own: the call returns when the handler has, while this thread
    // answers the message boxes the handler waits on.
    std::thread sender([&] {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &result);
        done = true;
    });
    bool cancelled = cancelWhenProgressSays.empty();
    while (!done) {
        if (!cancelled && progressText().find(cancelWhenProgressSays) != std::wstring::npos) {
            cancelProgress();
            cancelled = true;
        }
        if (!dismissMessage(shown)) {
            Sleep(5);
        }
    }
    sender.join();
    return shown;
}

HWND ProgramUnderTest::progressWindow() const {
    return windowOf(process_.dwThreadId, window::win32::progressClassName, L"Tagwright");
}

std::wstring ProgramUnderTest::progressText() const {
    HWND progress = progressWindow();
    return progress ? textOf(GetDlgItem(progress, window::win32::lblProgress)) : L"";
}

void ProgramUnderTest::cancelProgress() const {
    PostMessageW(GetDlgItem(progressWindow(), IDCANCEL), BM_CLICK, 0, 0);
}

void ProgramUnderTest::setText(window::ControlId id, const std::wstring& text) {
    SendMessageW(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ProgramUnderTest::pick(window::ControlId combo, int index) {
    SendMessageW(control(combo), CB_SETCURSEL, index, 0);
}

std::vector<ShownMessage> ProgramUnderTest::takeMessages() {
    return std::exchange(messages_, {});
}

int ProgramUnderTest::waitForExit(DWORD timeoutMs) {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

} // namespace tagwright::test
