// What the Windows program costs as a user meets it, under Wine here: the time from starting
// tagwright.exe to its window on screen, attached to a served design, and a net-name run with
// vias clicked in that window, with every call crossing to the server's process.
//
//   tagwright_program_timing [DESIGN.json]    (the sample board by default)

#include "../../tests/win32/EditorProcess.h"
#include "../../tests/win32/ProgramDriver.h"
#include "NetNameRunInMemory.h"

#include "host/com/ComApartment.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "window/WindowDescription.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

using namespace tagwright;
using Clock = std::chrono::steady_clock;
using window::ControlId;

namespace {

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::size_t labelCount(const host::memory::Design& design) {
    return static_cast<std::size_t>(std::ranges::count_if(design.texts, [](const auto& text) {
        return !text->deleted && text->text.starts_with(u"{") && text->text.ends_with(u"}");
    }));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::filesystem::path path =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path(DEMO_BOARD);
    const host::memory::Design board = host::memory::loadDesign(path);
    host::com::ComApartment apartment;
    test::EditorProcess editor(board);

    constexpr int starts = 7;
    std::vector<double> startup;
    for (int i = 0; i < starts; ++i) {
        const auto start = Clock::now();
        test::ProgramUnderTest program;
        if (!program.waitForWindow()) {
            std::fputs("the window did not show\n", stderr);
            return 1;
        }
        startup.push_back(millisecondsSince(start));
        PostMessageW(program.window(), WM_CLOSE, 0, 0);
        program.waitForExit();
    }
    std::ranges::sort(startup);
    std::printf("start-up to a shown window: median %.0f ms (%.0f to %.0f ms over %d starts)\n",
                startup[starts / 2], startup.front(), startup.back(), starts);

    test::ProgramUnderTest program;
    program.waitForWindow();
    program.click(ControlId::optLabelType_0);
    program.click(ControlId::chkVias);
    const auto start = Clock::now();
    program.click(ControlId::cmdAddLabel);
    const double run = millisecondsSince(start);
    PostMessageW(program.window(), WM_CLOSE, 0, 0);
    program.waitForExit();
    const std::size_t placed = labelCount(editor.finish()) - labelCount(board);
    const std::size_t calls = bench::netNameRunInMemory(board).calls;
    std::printf("net-name run with vias: %zu labels in %.0f ms, %zu calls (%.1f a label), "
                "%.2f ms a label\n",
                placed, run, calls, static_cast<double>(calls) / placed, run / placed);
    return 0;
}
