// How the Windows program's start-up grows with the design, as a user meets it (under Wine
// here): tagwright.exe started against a served board of 2,000 and of 20,000 nets, timed from
// the start to its filled window, with the calls the server served per list entry and the
// processor time of both programs as Wine accounts it (which leaves out much of what the
// system does for them: measure from outside for that); then a net-name run on the small board, in
// calls per label against the host calls the same run makes.
//
//   tagwright_startup_scale [--untyped-returns] [NETS...]    (2000 20000 by default)
//
// With --untyped-returns the server's descriptions leave open what members hand out, so the
// program asks every member its type, as it did before it read the declared returns.

#include "../../tests/win32/ProgramDriver.h"
#include "NetNameRunInMemory.h"

#include "host/Attach.h"
#include "host/com/ComApartment.h"
#include "host/memory/BoardGenerator.h"
#include "standin-com/ServerProcess.h"
#include "window/WindowDescription.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace tagwright;
using Clock = std::chrono::steady_clock;
using window::ControlId;

namespace {

// The calls of one "served:" line, summed over its kinds.
std::size_t servedCalls(const std::string& line) {
    std::size_t total = 0;
    std::istringstream words(line);
    for (std::string word; words >> word;) {
        if (auto equals = word.find('='); equals != std::string::npos) {
            total += std::stoull(word.substr(equals + 1));
        }
    }
    return total;
}

double cpuSeconds(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) {
        return 0;
    }
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

host::memory::BoardShape boardOf(std::int32_t nets) {
    host::memory::BoardShape shape;
    shape.nets = nets;
    shape.components = nets / 2;
    shape.pinsPerComponent = 4;
    shape.vias = nets / 4;
    shape.netClasses = 8;
    return shape;
}

bool typedReturns = true;

host::com::ServerOptions asTheEditor() {
    host::com::ServerOptions options;
    options.progId = host::editorProgId;
    options.stats = true;
    options.typedReturns = typedReturns;
    return options;
}

struct Startup {
    double seconds = 0, programCpu = 0, serverCpu = 0;
    std::size_t calls = 0;
    std::string served;
};

Startup measureStartup(const host::memory::Design& board) {
    host::com::ServerProcess server(board, asTheEditor());
    Startup startup;
    const auto start = Clock::now();
    test::ProgramUnderTest program;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, program.processId());
    if (!program.waitForWindow(900000)) {
        std::fputs("the window did not show\n", stderr);
        std::exit(1);
    }
    startup.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    startup.programCpu = cpuSeconds(process);
    startup.serverCpu = cpuSeconds(server.process());
    PostMessageW(program.window(), WM_CLOSE, 0, 0);
    program.waitForExit();
    CloseHandle(process);
    server.finish();
    startup.served = server.statsLine();
    startup.calls = servedCalls(startup.served);
    return startup;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::int32_t> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--untyped-returns") {
            typedReturns = false;
        } else {
            sizes.push_back(static_cast<std::int32_t>(std::wcstol(argv[i], nullptr, 10)));
        }
    }
    if (sizes.empty()) {
        sizes = {2000, 20000};
    }
    host::com::ComApartment apartment;

    std::printf("%8s %8s %10s %12s %14s %14s\n", "nets", "entries", "seconds", "calls/entry",
                "program cpu s", "server cpu s");
    for (std::int32_t nets : sizes) {
        const host::memory::Design board = host::memory::generateBoard(boardOf(nets));
        const std::size_t entries =
            board.components.size() + board.nets.size() + board.netClasses.size();
        const Startup startup = measureStartup(board);
        std::printf("%8d %8zu %10.2f %12.3f %14.2f %14.2f   (%s)\n", nets, entries, startup.seconds,
                    static_cast<double>(startup.calls) / entries, startup.programCpu,
                    startup.serverCpu, startup.served.c_str());
    }

    // A net-name run with vias, on a board small enough for the run to end within the time a
    // click is given: what the run adds to the start-up.
    const host::memory::Design board = host::memory::generateBoard(boardOf(400));
    const Startup startupOnly = measureStartup(board);
    host::com::ServerProcess server(board, asTheEditor());
    {
        test::ProgramUnderTest program;
        program.waitForWindow(900000);
        program.click(ControlId::optLabelType_0);
        program.click(ControlId::chkVias);
        program.click(ControlId::cmdAddLabel);
        PostMessageW(program.window(), WM_CLOSE, 0, 0);
        program.waitForExit();
    }
    const host::memory::Design labelled = server.finish();
    const std::size_t labels = labelled.texts.size() - board.texts.size();
    const std::size_t runCalls = servedCalls(server.statsLine()) - startupOnly.calls;
    const bench::NetNameRunCost inMemory = bench::netNameRunInMemory(board);
    std::printf("net-name run with vias: %zu labels, %.2f served calls a label, %.2f host calls "
                "a label\n",
                labels, static_cast<double>(runCalls) / labels,
                static_cast<double>(inMemory.calls) / static_cast<double>(inMemory.labels));
    return 0;
}
