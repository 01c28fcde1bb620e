// tagwright.exe attached to the COM test server serving the sample board, driven from this
// process through window messages as a user would drive it; the design the server saves at
// the end is what the session did.
#include "EditorProcess.h"
#include "ProgramDriver.h"

#include "host/HostRoles.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "labels/AddLabels.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace tagwright;
using host::memory::Design;
using test::ShownMessage;
using window::ControlId;

namespace {

Design demoBoard() {
    return host::memory::loadDesign(DEMO_BOARD);
}

using Label = std::tuple<std::u16string, std::int32_t, double, double, double>;

std::vector<Label> marked(const Design& design) {
    std::vector<Label> labels;
    for (const auto& t : design.texts) {
        if (!t->deleted && t->text.size() >= 2 && t->text.front() == u'{' &&
            t->text.back() == u'}') {
            labels.emplace_back(t->text, t->layer, t->x, t->y, t->rotation);
        }
    }
    return labels;
}

std::wstring wide(const std::u16string& text) {
    return {text.begin(), text.end()};
}

// Every entry of a list, none chosen: what the window hands a run over a fresh design.
template <typename Objects> std::vector<run::ListEntry> unchosen(const Objects& objects) {
    std::vector<run::ListEntry> entries;
    for (const auto& object : objects) {
        entries.push_back({object.name});
    }
    return entries;
}

// A message as the window shows it: owned by the window, OK only, no icon.
ShownMessage fromWindow(std::wstring text, std::wstring title = L"Tagwright") {
    return {std::move(text), std::move(title), true, true, false};
}

// The program attaches to the editor's own ProgID, so these tests register it while they run.
// Under Wine that is a throwaway prefix; on Windows it could hide an installed editor from
// other programs for as long, so there they run only when asked to.
class Session : public testing::Test {
  protected:
    void SetUp() override {
        const bool underWine =
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
        char asked[8] = {};
        GetEnvironmentVariableA("TAGWRIGHT_SESSION_TESTS", asked, sizeof asked);
        if (!underWine && std::string(asked) != "1") {
            GTEST_SKIP() << "registers the editor's ProgID; TAGWRIGHT_SESSION_TESTS=1 runs it";
        }
    }
    void start(const Design& design = demoBoard(), test::EditorBehaviour behaviour = {}) {
        editor.emplace(design, behaviour);
        program.emplace();
        ASSERT_TRUE(program->waitForWindow(60000));
        EXPECT_TRUE(program->takeMessages().empty());
    }
    // The title bar's close box, or the close button, ends the program; the editor then saves
    // what it holds.
    Design end(bool closeButton = false) {
        if (closeButton) {
            EXPECT_TRUE(program->click(ControlId::cmdClose).empty());
        } else {
            PostMessageW(program->window(), WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(program->waitForExit(), 0);
        program.reset();
        Design saved = editor->finish();
        editor.reset();
        return saved;
    }

    std::optional<test::EditorProcess> editor;
    std::optional<test::ProgramUnderTest> program;
};

// Each label type with what a user sets around it; the same run on the board in memory says
// what must land in the saved design. The last session ends with the close button.
TEST_F(Session, EachLabelTypeLandsInTheSavedDesign) {
    for (std::int16_t type = 0; type < 3; ++type) {
        SCOPED_TRACE(testing::Message() << "label type " << type);
        start();
        program->click(static_cast<ControlId>(static_cast<int>(ControlId::optLabelType_0) + type));
        if (IsWindowEnabled(program->control(ControlId::chkVias))) {
            program->click(ControlId::chkVias);
        }
        program->setText(ControlId::txtLabelOffsetX, L"10");
        program->setText(ControlId::txtLabelOffsetY, L"-5");
        program->pick(ControlId::cboLabelRotation, 1);
        program->pick(ControlId::cboLabelLayer, 1);
        const std::vector<ShownMessage> shown = program->click(ControlId::cmdAddLabel);
        const Design saved = end(type == run::NetClassLabel);

        auto expected = std::make_shared<Design>(demoBoard());
        const run::LabelRequest request{.labelType = type,
                                        .offsetX = u"10",
                                        .offsetY = u"-5",
                                        .fontHeight = u"15",
                                        .fontWidth = u"1",
                                        .rotation = u"90",
                                        .vias = type != run::PinNumberLabel,
                                        .components = unchosen(expected->components),
                                        .nets = unchosen(expected->nets),
                                        .netClasses = unchosen(expected->netClasses),
                                        .layerIndex = 1};
        labels::ComponentMask mask;
        std::vector<ShownMessage> messages;
        labels::addLabels(host::HostDocument(host::memory::makeDocument(expected)), request, mask,
                          [&](const std::u16string& text, const std::u16string& title) {
                              messages.push_back(fromWindow(
                                  wide(text), title.empty() ? L"Tagwright" : wide(title)));
                          });

        EXPECT_GT(marked(saved).size(), marked(demoBoard()).size() + 20);
        EXPECT_EQ(marked(saved), marked(*expected));
        EXPECT_EQ(shown, messages);
    }
}

// A second start brings the running window back from the taskbar and ends. It attaches to
// nothing: a copy that did would stay, with its window or with a notice.
TEST_F(Session, ASecondStartBringsTheRunningWindowToTheFrontAndEnds) {
    start();
    ShowWindow(program->window(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(program->window()));
    {
        test::ProgramUnderTest second;
        EXPECT_FALSE(second.waitForWindow(10000));
        EXPECT_EQ(second.takeMessages(), std::vector<ShownMessage>{});
        EXPECT_EQ(second.waitForExit(0), 0);
    }
    EXPECT_FALSE(IsIconic(program->window()));
    EXPECT_EQ(GetForegroundWindow(), program->window());
    end();
}

// Over an editor that takes its time over every call the program waits in COM's own loop most
// of the run, and neither that loop nor its own lets a click on the window start anything.
// Cancelled from the progress window, the run leaves the labels it placed in the design.
TEST_F(Session, ClicksDuringARunStartNothingAndCancelKeepsThePlacedLabels) {
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    // 60 components of 4 pins: 228 pin-number labels in a run that goes to its end.
    start(host::memory::generateBoard({.components = 60, .pinsPerComponent = 4, .nets = 40}),
          {.callDelay = 2000us});

    std::atomic<bool> done = false;
    const Clock::time_point sent = Clock::now();
    std::thread clicker([&] {
        program->click(ControlId::cmdAddLabel);
        done = true;
    });
    HWND progress = nullptr;
    Clock::time_point shownAt{};
    bool windowDisabled = false, cancelled = false;
    while (!done) {
        // The window answers all along, whether the program waits in COM's loop or in its own,
        // until the close kept for the run's end takes it away.
        DWORD_PTR result = 0;
        EXPECT_TRUE(SendMessageTimeoutW(program->window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000,
                                        &result) != 0 ||
                    !IsWindow(program->window()));
        if (!progress && (progress = program->progressWindow()) != nullptr) {
            shownAt = Clock::now();
            windowDisabled = !IsWindowEnabled(program->window());
            for (const ControlId button :
                 {ControlId::cmdAddLabel, ControlId::cmdDeleteLabel, ControlId::cmdUpdateList,
                  ControlId::cmdHelp, ControlId::cmdClose, ControlId::optLabelType_0}) {
                PostMessageW(program->control(button), BM_CLICK, 0, 0);
            }
            PostMessageW(program->window(), WM_CLOSE, 0, 0);
        }
        if (progress && !cancelled && Clock::now() - shownAt > 1s) {
            cancelled = true;
            PostMessageW(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
        }
        Sleep(10);
    }
    clicker.join();
    EXPECT_TRUE(program->takeMessages().empty());
    ASSERT_NE(progress, nullptr);
    EXPECT_GE(shownAt - sent, 500ms);
    EXPECT_TRUE(windowDisabled);
    // The close posted during the run, as taskkill posts it, is kept for the run's end.
    EXPECT_EQ(program->waitForExit(), 0) << "the program ended after the run";

    const std::size_t placed = marked(end()).size();
    EXPECT_GT(placed, 0u);
    EXPECT_LT(placed, 228u) << "cancelled before the end, and no second run started";
}

// An editor that takes a call in the middle of a run and never answers it: the run reports it
// once, the window stays, and a refresh reaches the editor that comes after it.
struct HungRun {
    const char* name;
    ControlId button;
    // Calls the editor answers in the run before the one it keeps.
    long long answeredInRun;
    // The user gives up the wait from the progress window instead of waiting it out.
    bool cancelled;
    friend void PrintTo(const HungRun& run, std::ostream* out) { *out << run.name; }
};

// A parameter names its test by its `name`, and prints as that.
const auto byName = [](const auto& info) { return std::string(info.param.name); };

class SessionWithHungEditor : public Session, public testing::WithParamInterface<HungRun> {};

TEST_P(SessionWithHungEditor, TheRunReportsItOnceAndARefreshReachesTheNextEditor) {
    using namespace std::chrono_literals;
    // What the start-up asks of the sample board: type descriptions, member ids, calls and
    // batches of collection members alike.
    constexpr long long startUpCalls = 88;
    const HungRun run = GetParam();
    start(demoBoard(), {.hangAfter = startUpCalls + run.answeredInRun});
    // The run's own messages (a pin without a name shows its number) may come before.
    const auto failures = [](std::vector<ShownMessage> shown) {
        std::erase_if(shown,
                      [](const ShownMessage& m) { return !m.text.starts_with(L"运行时错误"); });
        return shown;
    };
    const auto clicked = std::chrono::steady_clock::now();
    std::vector<ShownMessage> shown =
        failures(program->click(run.button, run.cancelled ? L"编辑器没有响应" : L""));
    if (run.cancelled) {
        // Cancelling says nothing; the next run learns of the given-up editor at once.
        EXPECT_EQ(shown, std::vector<ShownMessage>{});
        shown = program->click(run.button);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, 30s);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.starts_with(L"运行时错误 '462':\n"));
    EXPECT_NE(shown[0].text.find(L"没有响应"), std::wstring::npos)
        << testing::PrintToString(shown[0]);
    EXPECT_TRUE(program->windowShown());
    EXPECT_TRUE(IsWindowEnabled(program->window()));

    editor.reset();
    editor.emplace(demoBoard());
    EXPECT_TRUE(program->click(ControlId::cmdUpdateList).empty());
    EXPECT_EQ(SendMessageW(program->control(ControlId::lstCompList), LB_GETCOUNT, 0, 0),
              static_cast<LRESULT>(demoBoard().components.size()));
    EXPECT_EQ(failures(program->click(ControlId::cmdAddLabel)), std::vector<ShownMessage>{});
    EXPECT_GT(marked(end()).size(), marked(demoBoard()).size());
}

// Waiting out the link's limit once is worth its 25 s; the cancelled wait takes about 5 s.
INSTANTIATE_TEST_SUITE_P(Runs, SessionWithHungEditor,
                         testing::Values(HungRun{"AddCancelled", ControlId::cmdAddLabel, 300, true},
                                         HungRun{"DeleteWaitedOut", ControlId::cmdDeleteLabel, 6,
                                                 false}),
                         byName);

// An editor that stalls the start-up: the progress window comes up on its own, before the
// window, and says why; cancelling there ends the program without a word.
struct StalledStart {
    const char* name;
    test::EditorBehaviour editor;
    const wchar_t* progressSays;
    // Escape instead of a click on 取消.
    bool escape;
    friend void PrintTo(const StalledStart& stall, std::ostream* out) { *out << stall.name; }
};

class StartUpWithStalledEditor : public Session,
                                 public testing::WithParamInterface<StalledStart> {};

TEST_P(StartUpWithStalledEditor, CancellingEndsTheProgramQuietly) {
    using namespace std::chrono_literals;
    const StalledStart stall = GetParam();
    test::EditorProcess editor(demoBoard(), stall.editor);
    const auto started = std::chrono::steady_clock::now();
    test::ProgramUnderTest program;
    const auto waitFor = [&](auto shown, std::chrono::seconds limit) {
        while (!shown() && std::chrono::steady_clock::now() - started < limit) {
            Sleep(10);
        }
        return shown();
    };
    ASSERT_TRUE(waitFor([&] { return program.progressWindow() != nullptr; }, 10s));
    // Long before the 25 s the link would wait; most of this is Wine starting the program on a
    // loaded machine (the half second before the window shows is timed in-process).
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    ASSERT_TRUE(waitFor(
        [&] { return program.progressText().find(stall.progressSays) != std::wstring::npos; }, 9s))
        << testing::PrintToString(program.progressText());
    if (stall.escape) {
        PostMessageW(GetDlgItem(program.progressWindow(), IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
        program.cancelProgress();
    }
    EXPECT_FALSE(program.waitForWindow());
    EXPECT_EQ(program.takeMessages(), std::vector<ShownMessage>{});
    EXPECT_EQ(program.waitForExit(), 0);
}

// Left alone, the start-up over an editor that does not answer ends after 25 s with a notice
// that says so; the cancelled start-up covers the same waiting in a fifth of the time.
INSTANTIATE_TEST_SUITE_P(
    Editors, StartUpWithStalledEditor,
    testing::Values(StalledStart{"Busy", {.rejectedCalls = -1}, L"编辑器正忙", true},
                    StalledStart{"NotAnswering", {.hangAfter = 0}, L"编辑器没有响应", false}),
    byName);

using SessionWithoutEditor = Session;

TEST_F(SessionWithoutEditor, TheNoticeEndsTheProgramBeforeItsWindowShows) {
    test::ProgramUnderTest program;
    EXPECT_FALSE(program.waitForWindow());
    EXPECT_EQ(program.takeMessages(), (std::vector{ShownMessage{L"请先打开一个PCB设计文件!",
                                                                L"提示", false, true, false}}));
    EXPECT_EQ(program.waitForExit(), 0);
}

} // namespace
