// Plays the running editor on Windows (or under Wine) for the tests and the benchmark: serves a
// design file, or a generated board, until it is told to quit (WM_QUIT to its main thread, or
// Ctrl+C), then writes the design back if asked to. It serves the test class, which the test
// programs know as the test-only ProgID; --prog-id maps another ProgID to it in the registry
// while it runs (only a throwaway Wine prefix should ever be given the editor's own). It does
// not start while another test server runs (exit code 3).
//
//   tagwright-com-server [OPTIONS] DESIGN.json
//   tagwright-com-server [OPTIONS] --board COMPONENTS PINS NETS VIAS
//
// OPTIONS: --prog-id ID, --ready EVENT (set once serving), --save FILE, and for the tests
// --class CLSID (also serve under this alias of the test class), --no-type-info,
// --untyped-returns (the type descriptions leave open what members hand out),
// --deferred-fill-in, --hang-after N (after N calls it takes the next one and never answers,
// and serves nothing more), --stats (on exit, one line on standard error with the calls served
// by kind: "served: invoke=N gettypeinfo=N getidsofnames=N next=N"), --reject N (reject the first N
// calls as an editor busy with a dialog does; every call when N is negative), --call-delay-us N
// (every call waits that long, so that a small board runs like a large one).

#include "host/CallDelay.h"
#include "host/Text.h"
#include "host/com/ComApartment.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "standin-com/ActiveObjectRegistration.h"
#include "standin-com/HostDispatch.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tagwright::host;

namespace {

DWORD mainThread = 0;

bool printStats = false;

void reportStats() {
    if (!printStats) {
        return;
    }
    const auto& counts = com::HostDispatch::counts;
    std::fprintf(stderr, "served: invoke=%zu gettypeinfo=%zu getidsofnames=%zu next=%zu\n",
                 counts.invokes.load(), counts.typeInfos.load(), counts.nameLookups.load(),
                 counts.batches.load());
    std::fflush(stderr);
}

BOOL WINAPI onConsoleControl(DWORD) {
    // A hung main thread never takes the quit message.
    if (com::HostDispatch::hung()) {
        reportStats();
        ExitProcess(0);
    }
    PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
    return TRUE;
}

int usage() {
    std::fputs("usage: tagwright-com-server [OPTIONS] DESIGN.json\n"
               "       tagwright-com-server [OPTIONS] --board COMPONENTS PINS NETS VIAS\n"
               "options: --prog-id ID  --ready EVENT  --save FILE  --class CLSID\n"
               "         --no-type-info  --untyped-returns  --deferred-fill-in  --reject N\n"
               "         --call-delay-us N  --hang-after N  --stats\n",
               stderr);
    return 2;
}

// What COM does for an editor whose modal dialog is up: it rejects incoming calls.
class RejectingFilter : public IMessageFilter {
  public:
    explicit RejectingFilter(int count) : left_(count) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) {
            return E_POINTER;
        }
        *out = iid == IID_IUnknown || iid == IID_IMessageFilter ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    // Lives on main's stack for as long as it is registered.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, INTERFACEINFO*) override {
        if (left_ == 0) {
            return SERVERCALL_ISHANDLED;
        }
        if (left_ > 0) {
            --left_;
        }
        return SERVERCALL_REJECTED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override {
        return static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }

  private:
    int left_;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(com::fromWide(argv[i], wcslen(argv[i])));
    }
    std::u16string progId, readyEvent, savePath, designPath;
    memory::BoardShape board;
    bool generate = false;
    com::ServingOptions serving;
    std::optional<CLSID> alias;
    int rejected = 0;
    long long callDelay = 0;
    long long hangAfter = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::u16string& arg = args[i];
        if (arg == u"--prog-id" && i + 1 < args.size() && !args[i + 1].empty()) {
            progId = args[++i];
        } else if (arg == u"--class" && i + 1 < args.size()) {
            CLSID parsed{};
            std::u16string text = args[++i];
            if (FAILED(CLSIDFromString(com::wide(text), &parsed))) {
                return usage();
            }
            alias = parsed;
        } else if (arg == u"--no-type-info") {
            serving.typeInfo = false;
        } else if (arg == u"--untyped-returns") {
            serving.typedReturns = false;
        } else if (arg == u"--stats") {
            printStats = true;
        } else if (arg == u"--hang-after" && i + 1 < args.size()) {
            hangAfter = std::stoll(toUtf8(args[++i]));
            if (hangAfter < 0) {
                return usage();
            }
        } else if (arg == u"--deferred-fill-in") {
            serving.deferredFillIn = true;
        } else if (arg == u"--reject" && i + 1 < args.size()) {
            rejected = std::stoi(toUtf8(args[++i]));
        } else if (arg == u"--ready" && i + 1 < args.size()) {
            readyEvent = args[++i];
        } else if (arg == u"--save" && i + 1 < args.size()) {
            savePath = args[++i];
        } else if (arg == u"--call-delay-us" && i + 1 < args.size()) {
            callDelay = std::stoll(toUtf8(args[++i]));
            if (callDelay < 0) {
                return usage();
            }
        } else if (arg == u"--board" && i + 4 < args.size()) {
            generate = true;
            board.components = std::stoi(toUtf8(args[++i]));
            board.pinsPerComponent = std::stoi(toUtf8(args[++i]));
            board.nets = std::stoi(toUtf8(args[++i]));
            board.vias = std::stoi(toUtf8(args[++i]));
        } else if (!arg.starts_with(u"--") && designPath.empty()) {
            designPath = arg;
        } else {
            return usage();
        }
    }
    if (generate == !designPath.empty()) {
        return usage();
    }

    try {
        auto design = std::make_shared<memory::Design>(
            generate ? memory::generateBoard(board)
                     : memory::loadDesign(std::filesystem::path(
                           std::wstring(com::wide(designPath), designPath.size()))));

        com::ComApartment apartment;
        if (com::isRunning(com::testServerClsid)) {
            std::fputs("tagwright-com-server: another test server is running\n", stderr);
            return 3;
        }
        RejectingFilter busy(rejected);
        if (rejected != 0) {
            CoRegisterMessageFilter(&busy, nullptr);
        }
        com::HostDispatch::hangAfter = hangAfter;
        mainThread = GetCurrentThreadId();
        // The message queue must exist before anyone can post WM_QUIT to this thread.
        MSG message;
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        SetConsoleCtrlHandler(onConsoleControl, TRUE);
        {
            std::optional<com::ProgIdRegistration> named;
            if (!progId.empty()) {
                named.emplace(progId, com::testServerClsid);
            }
            ObjectRef application = memory::makeApplication(design);
            if (callDelay > 0) {
                application =
                    delayCalls(std::move(application), std::chrono::microseconds(callDelay));
            }
            com::ActiveObjectRegistration registration(std::move(application), com::testServerClsid,
                                                       serving, alias);
            if (!readyEvent.empty()) {
                HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, com::wide(readyEvent));
                if (ready) {
                    SetEvent(ready);
                    CloseHandle(ready);
                }
            }
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        if (rejected != 0) {
            CoRegisterMessageFilter(nullptr, nullptr);
        }
        if (!savePath.empty()) {
            memory::saveDesign(
                *design, std::filesystem::path(std::wstring(com::wide(savePath), savePath.size())));
        }
        reportStats();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tagwright-com-server: %s\n", e.what());
        return 1;
    }
}
