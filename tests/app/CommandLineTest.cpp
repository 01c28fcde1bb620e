#include "app/CommandLine.h"

#include "host/Failure.h"
#include "host/memory/MemoryHost.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tagwright;

namespace {

TEST(CommandLine, TakesTheTraceAndLeavesEverythingElse) {
    struct Case {
        std::vector<std::filesystem::path> arguments;
        std::optional<std::filesystem::path> traceFile;
        bool missing;
    };
    const Case cases[] = {
        {{}, std::nullopt, false},
        {{"whatever", "-x"}, std::nullopt, false},
        {{"--trace", "t.txt"}, "t.txt", false},
        {{"--trace=C:\\Users\\李\\trace file.txt"}, "C:\\Users\\李\\trace file.txt", false},
        {{"-v", "--trace", "a.txt", "extra"}, "a.txt", false},
        {{"--trace", "a.txt", "--trace=b.txt"}, "b.txt", false},
        {{"--trace", "--trace"}, "--trace", false},
        {{"--trace"}, std::nullopt, true},
        {{"--trace="}, std::nullopt, true},
        {{"--tracefile", "x"}, std::nullopt, false},
    };
    for (const auto& c : cases) {
        const auto parsed = app::parseCommandLine(c.arguments);
        EXPECT_EQ(parsed.traceFile, c.traceFile) << testing::PrintToString(c.arguments);
        EXPECT_EQ(parsed.traceFileMissing, c.missing) << testing::PrintToString(c.arguments);
    }
}

// Without a trace the window gets the attach it always got; a trace that cannot be had is told
// once and the program attaches untraced; a trace that can be written records every attach.
TEST(CommandLine, TheAttachIsTracedWhereATraceCanBeWritten) {
    const std::filesystem::path folder = testing::TempDir();
    const auto writable = folder / "tagwright-command-line.txt";
    int attaches = 0;
    auto design = std::make_shared<host::memory::Design>();
    host::AttachFunction attach = [&] {
        ++attaches;
        return host::HostApplication(host::memory::makeApplication(design));
    };
    struct Case {
        app::CommandLine commandLine;
        bool told;
    };
    const Case cases[] = {
        {{}, false},
        {{std::nullopt, true}, true},
        {{folder / "no such folder" / "t.txt", false}, true},
        {{writable, false}, false},
    };
    for (const auto& c : cases) {
        std::vector<std::u16string> told;
        auto chosen = app::editorAttach(c.commandLine, attach,
                                        [&](const std::u16string& text) { told.push_back(text); });
        EXPECT_EQ(told.size(), c.told ? 1u : 0u);
        attaches = 0;
        chosen();
        chosen();
        EXPECT_EQ(attaches, 2);
        EXPECT_EQ(told.size(), c.told ? 1u : 0u);
    }
    // The trace is closed with its attach, and Windows removes no open file.
    std::ifstream trace(writable, std::ios::binary);
    const std::string traced(std::istreambuf_iterator<char>(trace), {});
    EXPECT_NE(traced.find(" attach -> obj2 "), std::string::npos) << traced;
    trace.close();
    std::filesystem::remove(writable);
}

} // namespace
