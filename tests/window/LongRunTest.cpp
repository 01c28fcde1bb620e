// Long runs over a slow host, on controls held in memory: when the progress window comes and
// what it says, cancelling, and that nothing the user does reaches the window meanwhile. The
// clock is the test's own: every host call moves it on, so the runs take the same time always.
#include "host/Failure.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/MemoryHost.h"
#include "support/CallRecorder.h"
#include "window/frmTagwright.h"
#include "window/support/EditorStall.h"
#include "window/support/FakeControls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <regex>
#include <utility>

using namespace tagwright;
using namespace std::chrono_literals;
using window::CheckBox;
using window::ListBox;
using Clock = window::ProgressControls::Clock;
using Form = window::frmTagwright;

namespace {

// 60 components of 4 pins, 130 nets, 40 vias, 200 labels; every host call takes `perCall`.
struct SlowSession : test::FormSession {
    Clock::duration perCall = 0ms;

    explicit SlowSession(bool load = true)
        : FormSession(std::make_shared<host::memory::Design>(
              host::memory::generateBoard({.components = 60,
                                           .pinsPerComponent = 4,
                                           .nets = 130,
                                           .netClasses = 3,
                                           .vias = 40,
                                           .texts = 200}))) {
        log->beforeCall = [this](const host::RecordedCall&) { controls.clock += perCall; };
        if (load) {
            EXPECT_TRUE(form.Form_Load());
        }
        perCall = 2ms;
    }
    void chooseNetNamesWithVias() {
        choose(0);
        controls.box(CheckBox::chkVias).ticked = true;
    }
};

struct RunCase {
    const char* name;
    std::function<void(SlowSession&)> run;
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
     {"正在标注… 元器件 (\\d+) / (60)", "正在标注过孔… 已放置 (\\d+) 个"}},
    {"delete",
     [](SlowSession& s) { s.form.cmdDeleteLabel_Click(); },
     {"正在删除标注… 已删除 (\\d+) 个"}},
    {"locate nets",
     [](SlowSession& s) { s.form.cmdLocateNet_Click(); },
     {"正在定位… (\\d+) / (130)"}},
    {"refresh",
     [](SlowSession& s) {
         s.perCall = 5ms;
         s.form.cmdUpdateList_Click();
     },
     {"正在读取列表… 元器件 (\\d+)  网络 (\\d+)  网络类型 (\\d+)"}},
    // At start-up, before the window is shown.
    {"load",
     [](SlowSession& s) {
         s.perCall = 5ms;
         EXPECT_TRUE(s.form.Form_Load());
     },
     {"正在读取列表… 元器件 (\\d+)  网络 (\\d+)  网络类型 (\\d+)"}},
};

bool isRunText(const RunCase& c, const std::string& text) {
    return std::ranges::any_of(
        c.stages, [&](const char* stage) { return std::regex_match(text, std::regex(stage)); });
}

// One progress window, shown at the first turn of the event loop after half a second, not one
// later, gone at the end; a turn at least every 25 ms plus one step (a label is at most a
// dozen calls) from `start` to the end.
void expectAnsweringThroughout(const SlowSession& s, Clock::time_point start) {
    const auto& controls = s.controls;
    ASSERT_EQ(controls.progressWindows, 1);
    EXPECT_TRUE(controls.progress.cancellable);
    EXPECT_FALSE(controls.progress.shown || controls.inputBlocked) << "all over at the end";
    const auto firstLate = std::ranges::find_if(
        controls.eventTurns, [&](Clock::time_point turn) { return turn - start >= 500ms; });
    ASSERT_NE(firstLate, controls.eventTurns.end());
    EXPECT_EQ(*firstLate, controls.progress.shownAt);
    auto last = start;
    for (const Clock::time_point turn : controls.eventTurns) {
        EXPECT_LE(turn - last, 25ms + 12 * s.perCall);
        last = turn;
    }
    EXPECT_LE(controls.clock - last, 25ms + 12 * s.perCall);
}

class LongRuns : public testing::TestWithParam<RunCase> {};

TEST_P(LongRuns, ShowTheirProgressAfterHalfASecondAndNeverStopAnswering) {
    const RunCase& c = GetParam();
    SlowSession s(c.name != std::string("load"));
    auto& controls = s.controls;
    const Clock::time_point start = controls.clock;
    c.run(s);
    expectAnsweringThroughout(s, start);

    // Every text in the words of its stage, the stages in order, the counts only growing.
    std::size_t stage = 0;
    int lastValue = 0;
    for (const auto& [text, value, maximum] : controls.progressTexts) {
        const std::string said = host::toUtf8(text);
        std::smatch numbers;
        for (; stage < c.stages.size() &&
               !std::regex_match(said, numbers, std::regex(c.stages[stage]));
             ++stage) {
            lastValue = 0;
        }
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

// The run's first call waits eight seconds for the editor. The window answers as between
// steps, and the progress window comes at half a second though no step has come yet; it says
// at once that the editor is busy, or after five seconds that it does not answer, with the
// seconds left, and gives the run's own words back at the first step after the wait.
TEST_P(LongRuns, AWaitForTheEditorKeepsTheWindowAnsweringAndSaysWhy) {
    const RunCase& c = GetParam();
    const std::regex waitWords("编辑器(正忙（可能有对话框未关闭）|没有响应)… 还等 (\\d+) 秒");
    const std::tuple<host::EditorWaitReason, const char*, std::vector<int>> waits[] = {
        {host::EditorWaitReason::Busy,
         "正忙（可能有对话框未关闭）",
         {25, 24, 23, 22, 21, 20, 19, 18, 17}},
        {host::EditorWaitReason::NotAnswering, "没有响应", {20, 19, 18, 17}},
    };
    for (const auto& [reason, said, secondsLeft] : waits) {
        SCOPED_TRACE(said);
        SlowSession s(c.name != std::string("load"));
        auto& controls = s.controls;
        const Clock::time_point start = controls.clock;
        std::optional<Clock::time_point> waitOver;
        s.log->beforeCall = [&](const host::RecordedCall&) {
            controls.clock += s.perCall;
            if (!waitOver) {
                std::chrono::milliseconds waited{};
                test::stallEditor(controls.clock, reason, 8s, waited);
                waitOver = controls.clock;
            }
        };
        c.run(s);
        ASSERT_TRUE(waitOver);
        EXPECT_EQ(host::EditorWaitScope::current(), nullptr) << "watched only while it works";
        EXPECT_TRUE(controls.messages.empty());
        expectAnsweringThroughout(s, start);

        std::vector<int> secondsSaid;
        std::optional<std::size_t> lastWaitText;
        for (std::size_t k = 0; k < controls.progressTexts.size(); ++k) {
            const std::string text = host::toUtf8(std::get<0>(controls.progressTexts[k]));
            std::smatch words;
            if (std::regex_match(text, words, waitWords)) {
                EXPECT_EQ(words[1].str(), said);
                if (secondsSaid.empty() || secondsSaid.back() != std::stoi(words[2].str())) {
                    secondsSaid.push_back(std::stoi(words[2].str()));
                }
                lastWaitText = k;
            } else {
                EXPECT_TRUE(text == "正在等待编辑器…" || isRunText(c, text)) << text;
            }
        }
        EXPECT_EQ(secondsSaid, secondsLeft);
        ASSERT_TRUE(lastWaitText && *lastWaitText + 1 < controls.progressTexts.size());
        EXPECT_TRUE(
            isRunText(c, host::toUtf8(std::get<0>(controls.progressTexts[*lastWaitText + 1]))));
        EXPECT_LT(controls.progressTimes[*lastWaitText + 1] - *waitOver,
                  window::RunMonitor::eventInterval)
            << "back at the first step, not at the next turn";
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, LongRuns, testing::ValuesIn(runCases));

enum class Run { Load, Refresh, Add, Delete, LocateNets };

void start(SlowSession& s, Run run) {
    switch (run) {
    case Run::Load:
        EXPECT_FALSE(s.form.Form_Load());
        break;
    case Run::Refresh:
        s.form.cmdUpdateList_Click();
        break;
    case Run::Add:
        s.form.cmdAddLabel_Click();
        break;
    case Run::Delete:
        s.form.cmdDeleteLabel_Click();
        break;
    case Run::LocateNets:
        s.form.cmdLocateNet_Click();
        break;
    }
}

struct CancelCase {
    const char* name;
    Run run;
    bool duringWait;
    friend void PrintTo(const CancelCase& c, std::ostream* out) { *out << c.name; }
};

const CancelCase cancelCases[] = {
    {"AddBetweenTwoSteps", Run::Add, false},
    {"DeleteBetweenTwoSteps", Run::Delete, false},
    {"LocateBetweenTwoSteps", Run::LocateNets, false},
    {"LoadBetweenTwoSteps", Run::Load, false},
    {"RefreshBetweenTwoSteps", Run::Refresh, false},
    {"AddDuringAWait", Run::Add, true},
    {"LoadDuringAWait", Run::Load, true},
    {"RefreshDuringAWait", Run::Refresh, true},
};

class CancelledRun : public testing::TestWithParam<CancelCase> {};

// Cancelled between two steps (at its third turn with the progress window up), or while a call
// waits for an editor that does not answer, a run stops at once: not one call more, nor more
// waiting, and what was done stays done. It says nothing, but for a refresh, which leaves no
// half-filled list behind and tells the user so once; at start-up the program ends. The next run
// goes to its end.
TEST_P(CancelledRun, StopsAtOnceKeepingWhatWasDone) {
    const auto& [name, run, duringWait] = GetParam();
    SlowSession s(run != Run::Load);
    s.perCall = 5ms;
    if (run >= Run::Add) {
        s.chooseNetNamesWithVias();
    }
    for (auto& entry : s.controls.list(ListBox::lstNetList)) {
        entry.selected = true;
    }
    const std::u16string waitingCall = run == Run::Add ? u"AddText" : u"Nets";
    std::chrono::milliseconds waited{};
    s.log->beforeCall = [&, stalled = false](const host::RecordedCall& call) mutable {
        s.controls.clock += s.perCall;
        if (duringWait && call.member == waitingCall && !std::exchange(stalled, true)) {
            test::stallEditor(s.controls.clock, host::EditorWaitReason::NotAnswering,
                              host::unansweredCallLimit, waited);
        }
    };
    const std::size_t callsBefore = s.log->calls.size();
    std::optional<Clock::time_point> cancelledAt;
    std::size_t callsAtCancel = 0;
    int turnsShown = 0;
    s.controls.onEvents = [&] {
        const bool now = duringWait ? s.controls.progress.text.starts_with(u"编辑器没有响应")
                                    : s.controls.progress.shown && ++turnsShown == 3;
        if (now && !cancelledAt) {
            cancelledAt = s.controls.clock;
            callsAtCancel = s.log->calls.size();
            s.form.cmdCancelRun_Click();
        }
    };
    start(s, run);
    ASSERT_TRUE(cancelledAt);
    EXPECT_EQ(s.controls.clock, *cancelledAt) << "not one call more, nor more waiting";
    EXPECT_GT(callsAtCancel, callsBefore) << "the run had done something";
    if (duringWait) {
        EXPECT_EQ(waited, host::notAnsweringNotice);
    }
    EXPECT_FALSE(s.controls.busy || s.controls.inputBlocked || s.controls.progress.shown);
    EXPECT_EQ(s.controls.programEnds, run == Run::Load ? 1 : 0);
    EXPECT_EQ(s.controls.filling, (std::array<bool, 3>{})) << "a list left undrawn";
    const std::vector<test::FormMessage> refreshCancelled = {
        {u"已取消读取列表，列表为空。请点击“更新列表”重新读取。", u"提示"}};
    EXPECT_EQ(s.controls.messages,
              run == Run::Refresh ? refreshCancelled : std::vector<test::FormMessage>{});
    if (run == Run::Refresh) {
        for (const auto& list : s.controls.lists) {
            EXPECT_TRUE(list.empty());
        }
        EXPECT_TRUE(s.controls.layers.empty());
    }
    if (run == Run::Load) {
        return;
    }

    s.controls.onEvents = nullptr;
    s.log->beforeCall = nullptr;
    const auto calls = s.log->calls.size();
    start(s, run);
    EXPECT_GT(s.log->calls.size() - calls, 100u) << "the next run is not cancelled";
    EXPECT_EQ(s.controls.messages.size(), run == Run::Refresh ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Runs, CancelledRun, testing::ValuesIn(cancelCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Whatever reaches the form while a run works starts nothing: no host call, no message, no
// end of the program; a click on an option puts the choice back.
TEST(LongRun, NoHandlerStartsInsideAnother) {
    const std::pair<const char*, std::function<void(Form&)>> handlers[] = {
        {"add", &Form::cmdAddLabel_Click},
        {"delete", &Form::cmdDeleteLabel_Click},
        {"refresh", &Form::cmdUpdateList_Click},
        {"locate components", &Form::cmdLocateComp_Click},
        {"locate nets", &Form::cmdLocateNet_Click},
        {"about", &Form::cmdHelp_Click},
        {"close", &Form::cmdClose_Click},
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
                if (what == std::string("label type")) {
                    s.controls.chooseOption(0); // as the toolkit does before it tells
                }
                raise(s.form);
                EXPECT_EQ(s.log->calls.size(), calls);
                EXPECT_EQ(s.controls.chosenOption, 1);
            }
        };
        if (refreshing) {
            s.form.cmdUpdateList_Click();
        } else {
            s.form.cmdAddLabel_Click();
        }
        EXPECT_GT(turns, 10);
        EXPECT_TRUE(s.controls.messages.empty());
        EXPECT_EQ(s.controls.programEnds, 0);
        EXPECT_EQ(s.form.labelTypeIndex(), 1);
        EXPECT_EQ(s.controls.progressWindows, 1);
        EXPECT_EQ(s.controls.list(ListBox::lstCompList).size(), 60u);
    }
}

struct CloseCase {
    const char* name;
    Run run;
    bool cancelled, failing;
    friend void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }
};

const CloseCase closeCases[] = {
    {"Load", Run::Load, false, false},
    {"Refresh", Run::Refresh, false, false},
    {"Add", Run::Add, false, false},
    {"Delete", Run::Delete, false, false},
    {"LocateNets", Run::LocateNets, false, false},
    {"CancelledRefresh", Run::Refresh, true, false},
    {"FailingAdd", Run::Add, false, true},
};

class ClosedDuringRun : public testing::TestWithParam<CloseCase> {};

// A request to close the window while a run works (its close box, another program's) neither
// stops the run nor is lost: the run goes on to where it would have ended, and the program ends
// right after it, once, with no message, not even one the run's end would have shown.
TEST_P(ClosedDuringRun, EndsTheProgramOnceTheRunHasEnded) {
    const auto& [name, run, cancelled, failing] = GetParam();
    const auto session = [&](bool close) {
        auto s = std::make_unique<SlowSession>(run != Run::Load);
        s->chooseNetNamesWithVias();
        int turns = 0;
        s->log->beforeCall = [&s = *s, &turns](const host::RecordedCall& call) {
            s.controls.clock += s.perCall;
            if (GetParam().failing && call.member == u"AddText" && turns > 5) {
                throw host::Failure(-2147023174, u"RPC 服务器不可用");
            }
        };
        s->controls.onEvents = [&s = *s, &turns, close] {
            ++turns;
            if (turns == 3 && close) {
                s.form.Form_Close();
            }
            if (turns == 4 && GetParam().cancelled) {
                s.form.cmdCancelRun_Click();
            }
        };
        const auto messagesBefore = s->controls.messages.size();
        if (run == Run::Load) {
            EXPECT_EQ(s->form.Form_Load(), !close && !cancelled);
        } else {
            start(*s, run);
        }
        EXPECT_EQ(s->controls.programEnds, close || (cancelled && run == Run::Load) ? 1 : 0);
        EXPECT_EQ(s->controls.messages.size() > messagesBefore, !close && (cancelled || failing));
        EXPECT_FALSE(s->controls.inputBlocked || s->controls.progress.shown);
        return s->log->calls.size();
    };
    EXPECT_EQ(session(true), session(false)) << "the run went on as it would have";
}

INSTANTIATE_TEST_SUITE_P(Runs, ClosedDuringRun, testing::ValuesIn(closeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A run that takes no time shows no window, yet blocks the window's input while it works.
TEST(LongRun, FastRunShowsNothing) {
    SlowSession s;
    s.perCall = 0ms;
    bool blockedAtEveryCall = true;
    s.log->beforeCall = [&](const host::RecordedCall&) {
        blockedAtEveryCall &= s.controls.inputBlocked;
    };
    for (const auto handler : {&Form::cmdAddLabel_Click, &Form::cmdDeleteLabel_Click,
                               &Form::cmdLocateComp_Click, &Form::cmdUpdateList_Click}) {
        (s.form.*handler)();
    }
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
        if (call.member == u"AddText" && ++placed == 200) {
            throw host::Failure(-2147023174, u"RPC 服务器不可用");
        }
    };
    s.form.cmdAddLabel_Click();
    ASSERT_EQ(s.controls.messages.size(), 2u);
    EXPECT_EQ(s.controls.messagesOverProgress, 1);
    EXPECT_EQ(s.controls.messages[1].text, u"运行时错误 '-2147023174':\nRPC 服务器不可用");
    EXPECT_FALSE(s.controls.progress.shown || s.controls.inputBlocked);
}

} // namespace
