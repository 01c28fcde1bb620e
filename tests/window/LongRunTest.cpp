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
#include <regex>

using namespace tagwright;
using namespace std::chrono_literals;
using window::CheckBox;
using window::ListBox;
using Clock = window::ProgressControls::Clock;
using Form = window::frmTagwright;

namespace {

// 60 components of 4 pins, 130 nets, 40 vias, 200 labels; every host call takes `perCall`.
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
    Form form{controls, [this] {
                  return host::HostApplication(
                      host::recordCalls(host::memory::makeApplication(design), log));
              }};
    Clock::duration perCall = 0ms;

    explicit SlowSession(bool load = true) {
        log->beforeCall = [this](const host::RecordedCall&) { controls.clock += perCall; };
        if (load) {
            EXPECT_TRUE(form.Form_Load());
        }
        perCall = 2ms;
    }
    void chooseNetNamesWithVias() {
        controls.chooseOption(0);
        form.optLabelType_Click(0);
        controls.box(CheckBox::chkVias).ticked = true;
    }
    std::size_t liveTexts() const { return design->liveTextCount(); }
    std::size_t selectedNets() const {
        return static_cast<std::size_t>(std::ranges::count_if(
            design->nets, [](const host::memory::NetData& net) { return net.selected; }));
    }
};

struct RunCase {
    const char* name;
    std::function<void(SlowSession&)> run;
    bool cancellable;
    // What the window says at each stage, in order; the first number is the bar's value, and
    // the bar's maximum is the number after "/", or 0 (a busy bar) where there is none.
    std::vector<const char*> stages;
};

void PrintTo(const RunCase& c, std::ostream* out) {
    *out << c.name;
}

const RunCase runCases[] = {
    {"add net names with vias",
     [](SlowSession& s) {
         s.chooseNetNamesWithVias();
         s.form.cmdAddLabel_Click();
     },
     true,
     {"正在标注… 元器件 (\\d+) / (60)", "正在标注过孔… 已放置 (\\d+) 个"}},
    {"delete",
     [](SlowSession& s) { s.form.cmdDeleteLabel_Click(); },
     true,
     {"正在删除标注… 已删除 (\\d+) 个"}},
    {"locate nets",
     [](SlowSession& s) { s.form.cmdLocateNet_Click(); },
     true,
     {"正在定位… (\\d+) / (130)"}},
    {"refresh",
     [](SlowSession& s) {
         s.perCall = 5ms;
         s.form.cmdUpdateList_Click();
     },
     false,
     {"正在读取列表… 元器件 (\\d+)  网络 (\\d+)  网络类型 (\\d+)"}},
    // At start-up, before the window is shown.
    {"load",
     [](SlowSession& s) {
         s.perCall = 5ms;
         EXPECT_TRUE(s.form.Form_Load());
     },
     false,
     {"正在读取列表… 元器件 (\\d+)  网络 (\\d+)  网络类型 (\\d+)"}},
};

class LongRuns : public testing::TestWithParam<RunCase> {};

TEST_P(LongRuns, ShowTheirProgressAfterHalfASecondAndNeverStopAnswering) {
    const RunCase& c = GetParam();
    SlowSession s(c.name != std::string("load"));
    auto& controls = s.controls;
    const Clock::time_point start = controls.clock;
    c.run(s);
    const Clock::time_point end = controls.clock;

    ASSERT_EQ(controls.progressWindows, 1);
    EXPECT_EQ(controls.progress.cancellable, c.cancellable);
    EXPECT_FALSE(controls.progress.shown || controls.inputBlocked) << "all over at the end";
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

    // Every text in the words of its stage, the stages in order, the counts only growing.
    std::size_t stage = 0;
    int lastValue = 0;
    for (const auto& [text, value, maximum] : controls.progressTexts) {
        const std::string said = host::toUtf8(text);
        std::smatch numbers;
        for (; stage < c.stages.size() &&
               !std::regex_match(said, numbers, std::regex(c.stages[stage]));
             ++stage)
            lastValue = 0;
        ASSERT_LT(stage, c.stages.size()) << said;
        const bool counted = said.find(" / ") != std::string::npos;
        const int count = std::stoi(numbers[1].str());
        EXPECT_EQ(value, counted ? count : 0) << said;
        EXPECT_EQ(maximum, counted ? std::stoi(numbers[2].str()) : 0) << said;
        EXPECT_GE(count, lastValue) << said;
        lastValue = count;
    }
    EXPECT_EQ(stage, c.stages.size() - 1) << "every stage shown, the last one last";
    EXPECT_TRUE(controls.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Runs, LongRuns, testing::ValuesIn(runCases));

// Cancelled at its third turn with the window up, a run leaves the design exactly as it was
// at that moment, says nothing, and the next run goes to its end.
TEST(LongRun, CancelStopsBetweenTwoStepsKeepingWhatWasDone) {
    using Count = std::size_t (SlowSession::*)() const;
    const std::tuple<const char*, void (Form::*)(), Count> runs[] = {
        {"add", &Form::cmdAddLabel_Click, &SlowSession::liveTexts},
        {"delete", &Form::cmdDeleteLabel_Click, &SlowSession::liveTexts},
        {"locate", &Form::cmdLocateNet_Click, &SlowSession::selectedNets},
    };
    for (const auto& [what, handler, count] : runs) {
        SCOPED_TRACE(what);
        SlowSession s;
        s.chooseNetNamesWithVias();
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

// Whatever reaches the form while a run works starts nothing: no host call, no message, no
// end of the program; a click on an option puts the choice back. The list fill has no cancel
// either: half-filled lists would mislead.
TEST(LongRun, NoHandlerStartsInsideAnother) {
    const std::pair<const char*, std::function<void(Form&)>> handlers[] = {
        {"add", &Form::cmdAddLabel_Click},
        {"delete", &Form::cmdDeleteLabel_Click},
        {"refresh", &Form::cmdUpdateList_Click},
        {"locate components", &Form::cmdLocateComp_Click},
        {"locate nets", &Form::cmdLocateNet_Click},
        {"about", &Form::cmdHelp_Click},
        {"close", &Form::cmdClose_Click},
        {"close box", &Form::Form_Close},
        {"label type", [](Form& f) { f.optLabelType_Click(0); }},
    };
    for (const bool refreshing : {false, true}) {
        SCOPED_TRACE(refreshing ? "during a refresh" : "during an add");
        SlowSession s;
        s.perCall = refreshing ? 5ms : 2ms;
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
            if (refreshing)
                s.form.cmdCancelRun_Click();
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
        EXPECT_EQ(s.controls.list(ListBox::lstCompList).size(), 60u);
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
    for (const auto handler : {&Form::cmdAddLabel_Click, &Form::cmdDeleteLabel_Click,
                               &Form::cmdLocateComp_Click, &Form::cmdUpdateList_Click})
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
