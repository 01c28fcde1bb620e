// Plays the running editor on Windows (or under Wine) for the tests and the benchmark: serves a
// design file, or a generated board, until it is told to quit (WM_QUIT to its main thread, or
// Ctrl+C), then writes the design back if asked to. It serves under the test-only ProgID unless
// --prog-id names another; only a throwaway prefix should ever be given the editor's own.
//
//   tagwright-com-server [--prog-id ID] [--ready EVENT] [--save FILE] DESIGN.json
//   tagwright-com-server [--prog-id ID] [--ready EVENT] [--save FILE] --board COMPONENTS PINS
//                        NETS VIAS

#include "host/Text.h"
#include "host/com/ComApartment.h"
#include "host/com/server/ActiveObjectRegistration.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

using namespace tagwright::host;

namespace {

DWORD mainThread = 0;

BOOL WINAPI onConsoleControl(DWORD) {
    PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
    return TRUE;
}

int usage() {
    std::fputs("usage: tagwright-com-server [--prog-id ID] [--ready EVENT] [--save FILE] "
               "DESIGN.json\n"
               "       tagwright-com-server [--prog-id ID] [--ready EVENT] [--save FILE] "
               "--board COMPONENTS PINS NETS VIAS\n",
               stderr);
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(com::fromWide(argv[i], wcslen(argv[i])));
    }
    std::u16string progId = com::testServerProgId;
    std::u16string readyEvent, savePath, designPath;
    memory::BoardShape board;
    bool generate = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::u16string& arg = args[i];
        if (arg == u"--prog-id" && i + 1 < args.size() && !args[i + 1].empty()) {
            progId = args[++i];
        } else if (arg == u"--ready" && i + 1 < args.size()) {
            readyEvent = args[++i];
        } else if (arg == u"--save" && i + 1 < args.size()) {
            savePath = args[++i];
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
        mainThread = GetCurrentThreadId();
        // The message queue must exist before anyone can post WM_QUIT to this thread.
        MSG message;
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        SetConsoleCtrlHandler(onConsoleControl, TRUE);
        {
            com::ActiveObjectRegistration registration(memory::makeApplication(design), progId,
                                                       com::testServerClsid);
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
        if (!savePath.empty()) {
            memory::saveDesign(
                *design, std::filesystem::path(std::wstring(com::wide(savePath), savePath.size())));
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tagwright-com-server: %s\n", e.what());
        return 1;
    }
}
