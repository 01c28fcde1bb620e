#include "standin-com/ServerProcess.h"

#include "host/com/ComHandles.h"
#include "host/memory/DesignFile.h"
#include "standin-com/ActiveObjectRegistration.h"

#include <atomic>
#include <filesystem>
#include <fstream>
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

// Closing the last handle to it ends every process in it; the system closes this process's
// handles when it ends, killed or not.
HANDLE killOnCloseJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) {
        throw std::runtime_error("cannot create a job for tagwright-com-server.exe");
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        throw std::runtime_error("cannot make the server's job end it");
    }
    return job;
}

std::wstring inQuotes(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

} // namespace

ServerProcess::ServerProcess(const memory::Design& design, const ServerOptions& options)
    : designPath_(tempFile(uniqueName(L"tagwright-design") + L".json")),
      savePath_(tempFile(uniqueName(L"tagwright-saved") + L".json")), job_(killOnCloseJob()) {
    memory::saveDesign(design, designPath_);
    std::wstring readyName = uniqueName(L"Local\\tagwright-editor-ready");
    std::wstring command = inQuotes(besideThisProgram(L"tagwright-com-server.exe")) + L" --ready " +
                           readyName + L" --save " + inQuotes(savePath_);
    CLSID alias = testProgIdClass();
    if (!IsEqualCLSID(alias, testServerClsid)) {
        wchar_t text[64];
        StringFromGUID2(alias, text, 64);
        command += L" --class " + std::wstring(text);
    }
    if (!options.progId.empty()) {
        command +=
            L" --prog-id " + inQuotes(std::wstring(wide(options.progId), options.progId.size()));
    }
    if (!options.typeInfo) {
        command += L" --no-type-info";
    }
    if (!options.typedReturns) {
        command += L" --untyped-returns";
    }
    if (options.hangAfter >= 0) {
        command += L" --hang-after " + std::to_wstring(options.hangAfter);
    }
    if (options.stats) {
        command += L" --stats";
    }
    if (options.deferredFillIn) {
        command += L" --deferred-fill-in";
    }
    if (options.rejectedCalls != 0) {
        command += L" --reject " + std::to_wstring(options.rejectedCalls);
    }
    command += L" " + inQuotes(designPath_);

    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE errors = nullptr;
    if (options.stats) {
        errorPath_ = tempFile(uniqueName(L"tagwright-served") + L".txt");
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        errors = CreateFileW(errorPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = errors;
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    // Suspended until it is in the job, so that it cannot outlive this process even briefly.
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, errors != nullptr,
                       CREATE_SUSPENDED, nullptr, nullptr, &startup, &process_);
    if (errors) {
        CloseHandle(errors);
    }
    if (!started) {
        CloseHandle(ready);
        CloseHandle(job_);
        throw std::runtime_error("cannot start tagwright-com-server.exe");
    }
    if (!AssignProcessToJobObject(job_, process_.hProcess)) {
        CloseHandle(ready);
        kill();
        throw std::runtime_error("cannot tie tagwright-com-server.exe to this process");
    }
    ResumeThread(process_.hThread);
    // Answering calls meanwhile: the server asks this process, among others, whether a test
    // server is running already.
    HANDLE waitFor[] = {ready, process_.hProcess};
    DWORD woke = 0;
    HRESULT waited = CoWaitForMultipleHandles(0, startTimeoutMs, 2, waitFor, &woke);
    CloseHandle(ready);
    if (FAILED(waited) || waited == RPC_S_CALLPENDING || woke != 0) {
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        kill();
        throw std::runtime_error(code == 3 ? "another test server is running"
                                           : "tagwright-com-server.exe did not come up");
    }
}

ServerProcess::~ServerProcess() {
    kill();
    DeleteFileW(designPath_.c_str());
    DeleteFileW(savePath_.c_str());
    if (!errorPath_.empty()) {
        DeleteFileW(errorPath_.c_str());
    }
}

memory::Design ServerProcess::finish() {
    PostThreadMessageW(process_.dwThreadId, WM_QUIT, 0, 0);
    DWORD woke = 0;
    bool ended = CoWaitForMultipleHandles(0, quitTimeoutMs, 1, &process_.hProcess, &woke) == S_OK;
    DWORD code = 1;
    GetExitCodeProcess(process_.hProcess, &code);
    kill();
    if (!ended || code != 0) {
        throw std::runtime_error("tagwright-com-server.exe did not end cleanly");
    }
    if (!errorPath_.empty()) {
        std::ifstream errors{std::filesystem::path(errorPath_)};
        for (std::string line; std::getline(errors, line);) {
            if (line.starts_with("served:")) {
                statsLine_ = line;
            }
        }
    }
    return memory::loadDesign(savePath_);
}

void ServerProcess::kill() {
    if (process_.hProcess) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, quitTimeoutMs);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
    if (job_) {
        CloseHandle(job_);
        job_ = nullptr;
    }
}

} // namespace tagwright::host::com
