// Long runs over a slow host, on controls held in memory: when the progress window comes and
// what it says, cancelling, and that nothing the user does reaches the window meanwhile. The
// clock is the test's own: every host call moves it on, so the runs take the same time always.
#include "host/EditorWait.h"
#include "host/Failure.h"
#include "host/memory/BoardGenerator.h"
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
using Messages = std::vector<test::FormMessage>;

namespace {

enum class Job { Load, Refresh, Add, Delete, LocateNets };

// 60 components of 4 pins, 130 nets, 40 vias, 200 labels; every host call takes `perCall`, then
// `atCall` runs. Ready for `run`: loaded but for a start-up, and net names with vias chosen,
// every net selected, for the runs on labels and nets; by default loaded with pin numbers.
struct SlowSession : test::FormSession {
    Clock::duration perCall = 0ms;
    std::function<void(const host::RecordedCall&)> atCall;

    explicit SlowSession(Job run = Job::Refresh)
        : FormSession(host::memory::generateBoard({.components = 60,
                                                   .pinsPerComponent = 4,
                                                   .nets = 130,
                                                   .netClasses = 3,
                                                   .vias = 40,
                                                   .texts = 200})) {
        log->beforeCall = [this](const host::RecordedCall& call) {
            controls.clock += perCall;
            if (atCall) {
                atCall(call);
            }
        };
        EXPECT_TRUE(run == Job::Load || form.Form_Load());
        if (run >= Job::Add) {
            choose(0);
            controls.box(CheckBox::chkVias).ticked = true;
            for (auto& entry : controls.list(ListBox::lstNetList)) {
                entry.selected = true;
            }
        }
        perCall = 5ms;
    }
    // What the start of `run` returns: whether the window is to be shown, for a start-up.
    bool start(Job run) {
        const std::function<bool(Form&)> handlers[] = {
            &Form::Form_Load,
            [](Form& f) { return f.cmdUpdateList_Click(), true; },
            [](Form& f) { return f.cmdAddLabel_Click(), true; },
            [](Form& f) { return f.cmdDeleteLabel_Click(), true; },
            [](Form& f) { return f.cmdLocateNet_Click(), true; },
        };
        return handlers[static_cast<int>(run)](form);
    }
};

// A link's side of one call that waits for the editor, on the test's clock: every 25 ms of
// waiting it tells the run's watcher, as the links do, until `lasts` has passed and the call
// goes on. A watcher that says to give up fails the call at once, as the links do. `waited`
// is how long the call waited in the end.
void stallEditor(Clock::time_point& clock, host::EditorWaitReason reason,
                 std::chrono::milliseconds lasts, std::chrono::milliseconds& waited) {
    constexpr std::chrono::milliseconds poll{25};
    for (waited = {}; waited < lasts;) {
        clock += poll;
        waited += poll;
        host::EditorWaitWatcher* watcher = host::EditorWaitScope::current();
        if (watcher &&
            !watcher->editorWaiting(reason, waited, host::unansweredCallLimit - waited)) {
            throw host::Failure::editorNotAnswering(waited);
        }
    }
}

struct RunCase {
    const char* name;
    Job run;
    // What the window says at each stage, in order; the first number is the bar's value, and
    // the bar's maximum is the number after "/", or 0 (a busy bar) where there is none.
    std::vector<const char*> stages;
    friend void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }
};

const RunCase runCases[] = {
    {"AddNetNamesWithVias",
     Job::Add,
     {"正在标注… 元器件 (\\d+) / (60)", "正在标注过孔… 已放置 (\\d+) 个"}},
    {"Delete", Job::Delete, {"正在删除标注… 已删除 (\\d+) 个"}},
    {"LocateNets", Job::LocateNets, {"正在定位… (\\d+) / (130)"}},
    {"Refresh", Job::Refresh, {"正在读取列表… 元器件 (\\d+)  网络 (\\d+)  网络类型 (\\d+)"}},
    // At start-up, before the window is shown.
    {"Load", Job::Load, {"正在读取列表… 元器件 (\\d+)  网络 (\\d+)  网络类型 (\\d+)"}},
};

// Every event a user can raise, as the toolkit raises it.
const std::pair<const char*, std::function<void(Form&)>> everyHandler[] = {
    {"add", &Form::cmdAddLabel_Click},
    {"delete", &Form::cmdDeleteLabel_Click},
    {"refresh", &Form::cmdUpdateList_Click},
    {"locate components", &Form::cmdLocateComp_Click},
    {"locate nets", &Form::cmdLocateNet_Click},
    {"about", &Form::cmdHelp_Click},
    {"close", &Form::cmdClose_Click},
    {"label type", [](Form& f) { f.optLabelType_Click(2); }},
};

class LongRuns : public testing::TestWithParam<RunCase> {};

// Straight through, and with the run's first call waiting eight seconds for the editor. Every
// run text is in the words of its stage, the stages in order, the counts only growing. During
// the wait the window answers as between steps, and the progress window comes at half a second
// though no step has come yet; it says at once that the editor is busy, or after five seconds
// that it does not answer, with the seconds left, and gives the run's own words back at the
// first step after the wait. Whatever reaches the form meanwhile starts nothing: no host call,
// no message, no end of the program; a click on an option puts the choice back.
TEST_P(LongRuns, ShowTheirProgressAfterHalfASecondAndNeverStopAnswering) {
    const RunCase& c = GetParam();
    const std::regex waitWords("编辑器(正忙（可能有对话框未关闭）|没有响应)… 还等 (\\d+) 秒");
    const std::tuple<std::optional<host::EditorWaitReason>, const char*, std::vector<int>> waits[] =
        {{std::nullopt, "no wait", {}},
         {host::EditorWaitReason::Busy,
          "正忙（可能有对话框未关闭）",
          {25, 24, 23, 22, 21, 20, 19, 18, 17}},
         {host::EditorWaitReason::NotAnswering, "没有响应", {20, 19, 18, 17}}};
    for (const auto& [reason, said, secondsLeft] : waits) {
        SCOPED_TRACE(said);
        SlowSession s(c.run);
        auto& controls = s.controls;
        const Clock::time_point start = controls.clock;
        std::optional<Clock::time_point> waitOver;
        s.atCall = [&](const host::RecordedCall&) {
            if (reason && !waitOver) {
                std::chrono::milliseconds waited{};
                stallEditor(controls.clock, *reason, 8s, waited);
                waitOver = controls.clock;
            }
        };
        const int chosen = controls.chosenOption;
        const int type = s.form.labelTypeIndex();
        controls.onEvents = [&] {
            for (const auto& [what, raise] : everyHandler) {
                const auto calls = s.log->calls.size();
                if (what == std::string("label type")) {
                    if (c.run == Job::Load) {
                        continue; // no option to click before the window is shown
                    }
                    controls.chooseOption(2); // as the toolkit does before it tells
                }
                raise(s.form);
                EXPECT_EQ(s.log->calls.size(), calls) << what;
            }
        };
        EXPECT_TRUE(s.start(c.run));
        EXPECT_EQ(controls.programEnds, 0);
        if (c.run != Job::Load) {
            EXPECT_EQ(std::pair(controls.chosenOption, int(s.form.labelTypeIndex())),
                      std::pair(chosen, type));
        }
        EXPECT_EQ(host::EditorWaitScope::current(), nullptr) << "watched only while it works";
        EXPECT_TRUE(controls.messages.empty());
        // One progress window, shown at the first turn of the event loop after half a second,
        // not one later, gone at the end; a turn at least every 25 ms plus one step (a label is
        // at most a dozen calls) from the start to the end.
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

        std::size_t stage = 0;
        int lastValue = 0;
        std::vector<int> secondsSaid;
        bool waitTextBefore = false;
        std::optional<Clock::time_point> firstStepAfterWait;
        for (const auto& [text, value, maximum, at] : controls.progressTexts) {
            const std::string shown = host::toUtf8(text);
            std::smatch numbers;
            const bool afterWaitText = std::exchange(waitTextBefore, false);
            if (std::regex_match(shown, numbers, waitWords)) {
                EXPECT_EQ(numbers[1].str(), said);
                if (secondsSaid.empty() || secondsSaid.back() != std::stoi(numbers[2].str())) {
                    secondsSaid.push_back(std::stoi(numbers[2].str()));
                }
                waitTextBefore = true;
                continue;
            }
            if (reason && shown == "正在等待编辑器…") {
                continue;
            }
            for (; stage < c.stages.size() &&
                   !std::regex_match(shown, numbers, std::regex(c.stages[stage]));
                 ++stage) {
                lastValue = 0;
            }
            ASSERT_LT(stage, c.stages.size()) << shown;
            const bool counted = shown.find(" / ") != std::string::npos;
            const int count = std::stoi(numbers[1].str());
            EXPECT_EQ(value, counted ? count : 0) << shown;
            EXPECT_EQ(maximum, counted ? std::stoi(numbers[2].str()) : 0) << shown;
            EXPECT_GE(count, lastValue) << shown;
            lastValue = count;
            if (afterWaitText) {
                firstStepAfterWait = at;
            }
        }
        EXPECT_EQ(stage, c.stages.size() - 1) << "every stage shown, the last one last";
        EXPECT_EQ(secondsSaid, secondsLeft);
        ASSERT_EQ(reason.has_value(), waitOver.has_value());
        if (reason) {
            ASSERT_TRUE(firstStepAfterWait) << "the run's words back after the wait";
            EXPECT_LT(*firstStepAfterWait - *waitOver, window::RunMonitor::eventInterval)
                << "back at the first step, not at the next turn";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, LongRuns, testing::ValuesIn(runCases),
                         [](const auto& info) { return std::string(info.param.name); });

class CancelledRun : public testing::TestWithParam<std::tuple<RunCase, bool>> {};

// Cancelled between two steps (at its third turn with the progress window up), or while its
// 30th call waits for an editor that does not answer, a run stops at once: not one call more,
// nor more waiting, and what was done stays done. Only locating makes one call more after a
// wait, to tell a stale list from a failure by the list's length. A cancelled run says nothing,
// but for a refresh, which leaves no half-filled list behind and tells the user so once; at
// start-up the program ends. The next run goes to its end.
TEST_P(CancelledRun, StopsAtOnceKeepingWhatWasDone) {
    const auto& [c, duringWait] = GetParam();
    const Job run = c.run;
    SlowSession s(run);
    std::chrono::milliseconds waited{};
    const std::size_t callsBefore = s.log->calls.size();
    s.atCall = [&](const host::RecordedCall&) {
        if (duringWait && s.log->calls.size() == callsBefore + 30) {
            stallEditor(s.controls.clock, host::EditorWaitReason::NotAnswering,
                        host::unansweredCallLimit, waited);
        }
    };
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
    EXPECT_EQ(s.start(run), run != Job::Load);
    ASSERT_TRUE(cancelledAt);
    const bool asksTheLength = duringWait && run == Job::LocateNets;
    EXPECT_EQ(s.controls.clock, *cancelledAt + (asksTheLength ? s.perCall : 0ms))
        << "not one call more, nor more waiting";
    EXPECT_GT(callsAtCancel, callsBefore) << "the run had done something";
    if (duringWait) {
        EXPECT_EQ(waited, host::notAnsweringNotice);
    }
    EXPECT_FALSE(s.controls.busy || s.controls.inputBlocked || s.controls.progress.shown);
    EXPECT_EQ(s.controls.programEnds, run == Job::Load ? 1 : 0);
    EXPECT_EQ(s.controls.filling, (std::array<bool, 3>{})) << "a list left undrawn";
    EXPECT_EQ(s.controls.messages,
              run == Job::Refresh
                  ? Messages({{u"已取消读取列表，列表为空。请点击“更新列表”重新读取。", u"提示"}})
                  : Messages());
    if (run == Job::Refresh) {
        EXPECT_TRUE(std::ranges::all_of(s.controls.lists, std::ranges::empty) &&
                    s.controls.layers.empty());
    }
    if (run == Job::Load) {
        return;
    }

    s.controls.onEvents = nullptr;
    s.atCall = nullptr;
    const auto calls = s.log->calls.size();
    s.start(run);
    EXPECT_GT(s.log->calls.size() - calls, 100u) << "the next run is not cancelled";
    EXPECT_EQ(s.controls.messages.size(), run == Job::Refresh ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Runs, CancelledRun,
                         testing::Combine(testing::ValuesIn(runCases), testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "DuringAWait" : "BetweenTwoSteps");
                         });

struct CloseCase {
    const char* name;
    Job run;
    bool cancelled = false, failing = false;
    friend void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }
};

const CloseCase closeCases[] = {{"Load", Job::Load},
                                {"Refresh", Job::Refresh},
                                {"Add", Job::Add},
                                {"Delete", Job::Delete},
                                {"LocateNets", Job::LocateNets},
                                {"CancelledRefresh", Job::Refresh, true},
                                {"FailingAdd", Job::Add, false, true}};

class ClosedDuringRun : public testing::TestWithParam<CloseCase> {};

// A request to close the window while a run works (its close box, another program's) neither
// stops the run nor is lost: the run goes on to where it would have ended, and the program ends
// right after it, once, with no message, not even one the run's end would have shown. Without
// the close, a failure late in the run is reported once the progress window has gone, as the
// last thing the user sees.
TEST_P(ClosedDuringRun, EndsTheProgramOnceTheRunHasEnded) {
    const auto& [name, run, cancelled, failing] = GetParam();
    const auto session = [&](bool close) {
        auto s = std::make_unique<SlowSession>(run);
        int turns = 0;
        s->atCall = [&turns](const host::RecordedCall& call) {
            if (GetParam().failing && call.member == u"AddText" && turns > 40) {
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
        EXPECT_EQ(s->start(run), run != Job::Load || (!close && !cancelled));
        EXPECT_EQ(s->controls.programEnds, close || (cancelled && run == Job::Load) ? 1 : 0);
        EXPECT_EQ(!s->controls.messages.empty(), !close && (cancelled || failing));
        EXPECT_EQ(s->controls.messagesOverProgress, 0);
        EXPECT_FALSE(s->controls.inputBlocked || s->controls.progress.shown);
        return s->log->calls.size();
    };
    EXPECT_EQ(session(true), session(false)) << "the run went on as it would have";
}

INSTANTIATE_TEST_SUITE_P(Runs, ClosedDuringRun, testing::ValuesIn(closeCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
