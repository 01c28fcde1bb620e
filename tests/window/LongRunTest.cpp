// Long runs over a slow host, on controls held in memory: when the progress window comes and
// what it says, cancelling, and that nothing the user does reaches the window meanwhile. The
// clock is the test's own: every host call moves it on, so the runs take the same time always.
#include "host/CallRecorder.h"
#include "host/Failure.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/MemoryHost.h"
#include "window/frmTagwright.h"
#include "window/support/FakeControls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace tagwright;
using namespace std::chrono_literals;
using window::CheckBox;
using window::ListBox;
using Clock = window::ProgressControls::Clock;

namespace {

// 60 components of 4 pins, 130 nets, 40 vias, 200 labels: every run takes a second or more
// at 2 ms a host call.
struct SlowSession {
    std::shared_ptr<host::memory::Design> design =
        std::make_shared<host::memory::Design>(host::memory::generateBoard({.components = 60,
                                                                            .pinsPerComponent = 4,
                                                                            .nets = 130,
                                                                            .netClasses = 3,
                                                                            .vias = 40,
                                                                            .texts = 200}));
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    test::FakeControls controls;
    window::frmTagwright form{controls, [this] {
                                  return host::HostApplication(host::recordCalls(
                                      host::memory::makeApplication(design), log));
                              }};
    Clock::duration perCall;

    explicit SlowSession(Clock::duration loadPerCall = 0ms) : perCall(loadPerCall) {
        log->beforeCall = [this](const host::RecordedCall&) { controls.clock += perCall; };
        EXPECT_TRUE(form.Form_Load());
        perCall = 2ms;
    }

    std::size_t liveTexts() const { return design->liveTextCount(); }
    std::size_t selectedNets() const {
        return static_cast<std::size_t>(std::ranges::count_if(
            design->nets, [](const host::memory::NetData& net) { return net.selected; }));
    }
    // Each text the progress window showed, in order.
    std::vector<std::u16string> texts() const {
        std::vector<std::u16string> shown;
        for (const auto& [text, value, maximum] : controls.progressTexts)
            shown.push_back(text);
        return shown;
    }
};

struct RunCase {
    const char* name;
    void (window::frmTagwright::*handler)();
    std::function<void(SlowSession&)> arrange;
    bool cancellable;
    // The stages the window describes, in order: each text starts with one of them.
    std::vector<std::u16string> stages;
};

const RunCase runCases[] = {
    {"add net names with vias",
     &window::frmTagwright::cmdAddLabel_Click,
     [](SlowSession& s) {
         s.controls.chooseOption(0);
         s.form.optLabelType_Click(0);
         s.controls.box(CheckBox::chkVias).ticked = true;
     },
     true,
     {u"正在标注… 元器件 ", u"正在标注过孔… 已放置 "}},
    {"delete",
     &window::frmTagwright::cmdDeleteLabel_Click,
     nullptr,
     true,
     {u"正在删除标注… 已删除 "}},
    {"locate nets", &window::frmTagwright::cmdLocateNet_Click, nullptr, true, {u"正在定位… "}},
    {"refresh",
     &window::frmTagwright::cmdUpdateList_Click,
     [](SlowSession& s) { s.perCall = 5ms; },
     false,
     {u"正在读取列表… 元器件 "}},
};

void PrintTo(const RunCase& c, std::ostream* out) {
    *out << c.name;
}

class LongRuns : public testing::TestWithParam<RunCase> {};

TEST_P(LongRuns, ShowTheirProgressAfterHalfASecondAndNeverStopAnswering) {
    const RunCase& c = GetParam();
    SlowSession s;
    if (c.arrange)
        c.arrange(s);
    auto& controls = s.controls;
    const Clock::time_point start = controls.clock;
    (s.form.*c.handler)();
    const Clock::time_point end = controls.clock;

    ASSERT_EQ(controls.progressWindows, 1);
    EXPECT_EQ(controls.progress.cancellable, c.cancellable);
    EXPECT_FALSE(controls.progress.shown) << "closed when the run ends";
    EXPECT_FALSE(controls.inputBlocked);
    EXPECT_GE(controls.progress.shownAt - start, 500ms);
    // Shown at the first turn of the event loop after half a second, not one later.
    const auto firstLate = std::ranges::find_if(
        controls.eventTurns, [&](Clock::time_point turn) { return turn - start >= 500ms; });
    ASSERT_NE(firstLate, controls.eventTurns.end());
    EXPECT_EQ(*firstLate, controls.progress.shownAt);

    // A turn at least every 25 ms plus one step (a label is at most a dozen calls).
    auto last = start;
    for (const Clock::time_point turn : controls.eventTurns) {
        EXPECT_LE(turn - last, 25ms + 12 * s.perCall);
        last = turn;
    }
    EXPECT_LE(end - last, 25ms + 12 * s.perCall);

    // Every text names the stage of its moment, the stages in order, and the counts only grow.
    std::size_t stage = 0;
    int lastValue = 0;
    for (const auto& [text, value, maximum] : controls.progressTexts) {
        for (; stage < c.stages.size() && !text.starts_with(c.stages[stage]); ++stage)
            lastValue = 0;
        ASSERT_LT(stage, c.stages.size()) << host::toUtf8(text);
        EXPECT_GE(value, lastValue);
        lastValue = value;
    }
    const auto& [lastText, value, maximum] = controls.progressTexts.back();
    EXPECT_EQ(std::pair(c.stages.size() - 1, value <= maximum || maximum == 0),
              std::pair(stage, true))
        << "every stage shown, the last one last";
    EXPECT_TRUE(controls.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Runs, LongRuns, testing::ValuesIn(runCases));

TEST(LongRun, TheWindowSaysWhatIsDoneOfWhat) {
    SlowSession s;
    s.controls.chooseOption(0);
    s.form.optLabelType_Click(0);
    s.controls.box(CheckBox::chkVias).ticked = true;
    s.form.cmdAddLabel_Click();
    const auto& [text, value, maximum] = s.controls.progressTexts.front();
    EXPECT_EQ(maximum, 60) << "a bar over the components";
    EXPECT_EQ(text, u"正在标注… 元器件 " + host::fromUtf8(std::to_string(value)) + u" / 60");
    const auto vias = std::ranges::find_if(
        s.controls.progressTexts, [](const auto& shown) { return std::get<2>(shown) == 0; });
    ASSERT_NE(vias, s.controls.progressTexts.end());
    EXPECT_TRUE(std::get<0>(*vias).starts_with(u"正在标注过孔… 已放置 "));
    EXPECT_TRUE(std::get<0>(*vias).ends_with(u" 个"));

    // At start-up, before the window is shown.
    SlowSession load(5ms);
    EXPECT_EQ(load.controls.progressWindows, 1);
    const std::u16string listed = load.texts().back();
    EXPECT_TRUE(listed.starts_with(u"正在读取列表… 元器件 60  网络 1")) << host::toUtf8(listed);
    EXPECT_TRUE(listed.find(u"  网络类型 ") != std::u16string::npos);
    EXPECT_FALSE(load.controls.progress.cancellable);
}

// Cancelled at its third turn with the window up, a run leaves the design exactly as it was
// at that moment, says nothing, and the next run goes to its end.
TEST(LongRun, CancelStopsBetweenTwoStepsKeepingWhatWasDone) {
    using Count = std::size_t (SlowSession::*)() const;
    const std::tuple<const char*, void (window::frmTagwright::*)(), Count> runs[] = {
        {"add", &window::frmTagwright::cmdAddLabel_Click, &SlowSession::liveTexts},
        {"delete", &window::frmTagwright::cmdDeleteLabel_Click, &SlowSession::liveTexts},
        {"locate", &window::frmTagwright::cmdLocateNet_Click, &SlowSession::selectedNets},
    };
    for (const auto& [what, handler, count] : runs) {
        SCOPED_TRACE(what);
        SlowSession s;
        s.controls.chooseOption(0);
        s.form.optLabelType_Click(0);
        for (auto& entry : s.controls.list(ListBox::lstNetList))
            entry.selected = true;
        std::size_t atCancel = 0;
        int turnsShown = 0;
        s.controls.onEvents = [&] {
            if (s.controls.progress.shown && ++turnsShown == 3) {
                atCancel = (s.*count)();
                s.form.cmdCancelRun_Click();
            }
        };
        const std::size_t before = (s.*count)();
        (s.form.*handler)();
        ASSERT_EQ(turnsShown, 3);
        EXPECT_NE(atCancel, before) << "the run had done something";
        EXPECT_EQ((s.*count)(), atCancel);
        EXPECT_TRUE(s.controls.messages.empty());
        EXPECT_FALSE(s.controls.busy || s.controls.inputBlocked || s.controls.progress.shown);

        s.controls.onEvents = nullptr;
        const auto calls = s.log->calls.size();
        (s.form.*handler)();
        EXPECT_GT(s.log->calls.size() - calls, 100u) << "the next run is not cancelled";
    }
}

// The list fill has no cancel: half-filled lists would mislead.
TEST(LongRun, RefreshCannotBeCancelled) {
    SlowSession s;
    s.controls.onEvents = [&] { s.form.cmdCancelRun_Click(); };
    s.form.cmdUpdateList_Click();
    EXPECT_EQ(s.controls.list(ListBox::lstCompList).size(), 60u);
    EXPECT_EQ(s.controls.layers.size(), s.design->layers.size());
    EXPECT_EQ(s.controls.programEnds, 0);
}

// Whatever reaches the form while a run works starts nothing: no host call, no message, no
// end of the program; a click on an option puts the choice back.
TEST(LongRun, NoHandlerStartsInsideAnother) {
    using Handler = std::function<void(window::frmTagwright&)>;
    const std::pair<const char*, Handler> handlers[] = {
        {"add", [](auto& f) { f.cmdAddLabel_Click(); }},
        {"delete", [](auto& f) { f.cmdDeleteLabel_Click(); }},
        {"refresh", [](auto& f) { f.cmdUpdateList_Click(); }},
        {"locate components", [](auto& f) { f.cmdLocateComp_Click(); }},
        {"locate nets", [](auto& f) { f.cmdLocateNet_Click(); }},
        {"about", [](auto& f) { f.cmdHelp_Click(); }},
        {"close", [](auto& f) { f.cmdClose_Click(); }},
        {"close box", [](auto& f) { f.Form_Close(); }},
        {"label type", [](auto& f) { f.optLabelType_Click(0); }},
    };
    for (const bool refreshing : {false, true}) {
        SCOPED_TRACE(refreshing ? "during a refresh" : "during an add");
        SlowSession s;
        if (refreshing)
            s.perCall = 5ms;
        int turns = 0;
        s.controls.onEvents = [&] {
            ++turns;
            for (const auto& [what, raise] : handlers) {
                SCOPED_TRACE(what);
                const auto calls = s.log->calls.size();
                if (what == std::string("label type"))
                    s.controls.chooseOption(0); // as the toolkit does before it tells
                raise(s.form);
                EXPECT_EQ(s.log->calls.size(), calls);
                EXPECT_EQ(s.controls.chosenOption, 1);
            }
        };
        if (refreshing)
            s.form.cmdUpdateList_Click();
        else
            s.form.cmdAddLabel_Click();
        EXPECT_GT(turns, 10);
        EXPECT_TRUE(s.controls.messages.empty());
        EXPECT_EQ(s.controls.programEnds, 0);
        EXPECT_EQ(s.form.labelTypeIndex(), 1);
        EXPECT_EQ(s.controls.progressWindows, 1);
    }
}

// A run that takes no time shows no window, yet blocks the window's input while it works.
TEST(LongRun, FastRunShowsNothing) {
    SlowSession s;
    s.perCall = 0ms;
    bool blockedAtEveryCall = true;
    s.log->beforeCall = [&](const host::RecordedCall&) {
        blockedAtEveryCall &= s.controls.inputBlocked;
    };
    for (const auto handler :
         {&window::frmTagwright::cmdAddLabel_Click, &window::frmTagwright::cmdDeleteLabel_Click,
          &window::frmTagwright::cmdLocateComp_Click, &window::frmTagwright::cmdUpdateList_Click})
        (s.form.*handler)();
    EXPECT_TRUE(blockedAtEveryCall);
    EXPECT_FALSE(s.controls.inputBlocked);
    EXPECT_EQ(s.controls.progressWindows, 0);
    EXPECT_GT(s.log->calls.size(), 1000u);
}

// The pin-number message may come up over the progress window; a failure is reported only
// after the window has gone, as the last thing the user sees.
TEST(LongRun, FailureIsReportedOnceTheProgressWindowHasGone) {
    SlowSession s;
    s.controls.box(CheckBox::chkUnUsedPins).ticked = true;
    s.design->components[40].pins[1].name.clear();
    std::size_t placed = 0;
    s.log->beforeCall = [&](const host::RecordedCall& call) {
        s.controls.clock += s.perCall;
        if (call.member == u"AddText" && ++placed == 200)
            throw host::Failure(-2147023174, u"RPC 服务器不可用");
    };
    s.form.cmdAddLabel_Click();
    ASSERT_EQ(s.controls.messages.size(), 2u);
    EXPECT_EQ(s.controls.messagesOverProgress, 1);
    EXPECT_EQ(s.controls.messages[1].text, u"运行时错误 '-2147023174':\nRPC 服务器不可用");
    EXPECT_FALSE(s.controls.progress.shown || s.controls.inputBlocked);
}

} // namespace
