#include "app/CommandLine.h"

#include "host/Failure.h"
#include "host/memory/MemoryHost.h"

#include <gtest/gtest.h>

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
// once and the program attaches untraced.
TEST(CommandLine, ATraceThatCannotBeWrittenIsToldAndLeftOut) {
    int attaches = 0;
    host::AttachFunction attach = [&] {
        ++attaches;
        return host::HostApplication();
    };
    struct Case {
        app::CommandLine commandLine;
        bool told;
    };
    const Case cases[] = {
        {{}, false},
        {{std::nullopt, true}, true},
        {{std::filesystem::path(testing::TempDir()) / "no such folder" / "t.txt", false}, true},
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
}

TEST(CommandLine, AWritableTraceFileGetsTheAttach) {
    const auto file = std::filesystem::path(testing::TempDir()) / "tagwright-command-line.txt";
    std::vector<std::u16string> told;
    auto design = std::make_shared<host::memory::Design>();
    auto chosen = app::editorAttach(
        app::parseCommandLine(std::vector<std::filesystem::path>{"--trace", file}),
        [&] { return host::HostApplication(host::memory::makeApplication(design)); },
        [&](const std::u16string& text) { told.push_back(text); });
    chosen();
    EXPECT_TRUE(told.empty());
    EXPECT_GT(std::filesystem::file_size(file), 100u);
    // The trace is open for as long as the attach lives, and Windows removes no open file.
    chosen = nullptr;
    std::filesystem::remove(file);
}

} // namespace
