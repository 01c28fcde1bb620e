#include "window/RunMonitor.h"

#include "host/Text.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

namespace tagwright::window {

namespace {

using run::RunStage;

std::u16string decimal(std::size_t number) {
    return host::fromUtf8(std::to_string(number));
}

int barValue(std::size_t number) {
    return static_cast<int>(std::min<std::size_t>(number, INT_MAX));
}

// How far apart the clock is read, and at most how many steps apart.
constexpr std::chrono::microseconds readingInterval{1000};
constexpr int maxStride = 64;

bool isListStage(RunStage stage) {
    return stage == RunStage::ListComponents || stage == RunStage::ListNets ||
           stage == RunStage::ListNetClasses;
}

} // namespace

RunMonitor::RunMonitor(ProgressControls& controls, bool cancellable, Cursor cursor)
    : controls_(controls), cancellable_(cancellable), cursor_(cursor) {
    controls_.blockInput(true);
    if (cursor_ == Cursor::Busy) {
        controls_.setBusy(true);
    }
    started_ = lastTurn_ = lastReading_ = controls_.now();
}

RunMonitor::~RunMonitor() {
    // The window takes input again before its progress window goes, so that a toolkit hands
    // the activation back to it rather than to another program.
    controls_.blockInput(false);
    if (shown_) {
        controls_.closeProgress();
    }
    if (cursor_ == Cursor::Busy) {
        controls_.setBusy(false);
    }
}

void RunMonitor::showMessage(const std::u16string& text, const std::u16string& title) {
    if (cursor_ == Cursor::Busy) {
        controls_.setBusy(false);
    }
    controls_.showMessage(text, title);
    if (cursor_ == Cursor::Busy) {
        controls_.setBusy(true);
    }
    // The box ran the event loop while the user read it.
    eventsHandled();
}

bool RunMonitor::proceed(RunStage stage, std::size_t done, std::size_t total) {
    if (isListStage(stage)) {
        listed_[static_cast<std::size_t>(stage) -
                static_cast<std::size_t>(RunStage::ListComponents)] = done;
    }
    step_ = Step{stage, done, total};
    if (--countdown_ > 0) {
        return !cancelled_;
    }
    return atReading();
}

bool RunMonitor::atReading() {
    const auto now = controls_.now();
    // Aim the next reading a millisecond ahead at the pace just seen; the stride grows only
    // step by step, since a first step or two may cost nothing while the rest are slow.
    const auto perStep = (now - lastReading_) / stride_;
    const std::int64_t aimed = perStep.count() <= 0 ? maxStride : readingInterval / perStep;
    stride_ =
        static_cast<int>(std::clamp<std::int64_t>(aimed, 1, std::min(2 * stride_, maxStride)));
    countdown_ = stride_;
    lastReading_ = now;
    const bool waitOver = std::exchange(toldWait_, false);
    if (now - lastTurn_ < eventInterval) {
        // The wait is over: the run says again what it does, without waiting for a turn.
        if (waitOver) {
            show();
        }
        return !cancelled_;
    }
    showWhenDue(now);
    if (shown_) {
        show();
    }
    controls_.processEvents();
    lastTurn_ = lastReading_ = controls_.now();
    return !cancelled_;
}

bool RunMonitor::editorWaiting(host::EditorWaitReason reason, std::chrono::milliseconds waited,
                               std::chrono::milliseconds left) {
    const auto now = controls_.now();
    if (now - lastTurn_ < eventInterval) {
        return !cancelled_;
    }
    showWhenDue(now);
    // A short silence is the run's own; a busy editor is worth naming at once, since a dialog
    // of its own is the likely cause and the user can close it.
    const bool unanswered =
        reason == host::EditorWaitReason::NotAnswering && waited >= host::notAnsweringNotice;
    if (shown_ && (reason == host::EditorWaitReason::Busy || unanswered)) {
        const auto secondsLeft = (std::max<std::int64_t>(left.count(), 0) + 999) / 1000;
        controls_.setProgress(
            (unanswered ? u"编辑器没有响应… 还等 " : u"编辑器正忙（可能有对话框未关闭）… 还等 ") +
                decimal(static_cast<std::size_t>(secondsLeft)) + u" 秒",
            0, 0);
        toldWait_ = true;
    } else if (shown_) {
        show();
    }
    controls_.processEvents();
    // The pace of the steps before says nothing about the ones after the wait, and the first
    // of them comes to a reading, where the run's own words come back.
    eventsHandled();
    return !cancelled_;
}

void RunMonitor::showWhenDue(ProgressControls::Clock::time_point now) {
    if (!shown_ && now - started_ >= showAfter) {
        controls_.showProgress(cancellable_);
        shown_ = true;
    }
}

void RunMonitor::cancel() {
    if (cancellable_) {
        cancelled_ = true;
    }
}

void RunMonitor::eventsHandled() {
    // The pace of the steps before says nothing about the ones after a pause.
    lastTurn_ = lastReading_ = controls_.now();
    stride_ = countdown_ = 1;
}

void RunMonitor::show() {
    if (!step_) {
        // A call before the run's first step waits for the editor.
        controls_.setProgress(u"正在等待编辑器…", 0, 0);
        return;
    }
    const bool counted = step_->stage == RunStage::Components || step_->stage == RunStage::Locating;
    controls_.setProgress(describe(*step_), counted ? barValue(step_->done) : 0,
                          counted ? barValue(step_->total) : 0);
}

std::u16string RunMonitor::describe(const Step& step) const {
    const auto [stage, done, total] = step;
    switch (stage) {
    case RunStage::Components:
        return u"正在标注… 元器件 " + decimal(done) + u" / " + decimal(total);
    case RunStage::Vias:
        return u"正在标注过孔… 已放置 " + decimal(done) + u" 个";
    case RunStage::Deleting:
        return u"正在删除标注… 已删除 " + decimal(done) + u" 个";
    case RunStage::Locating:
        return u"正在定位… " + decimal(done) + u" / " + decimal(total);
    case RunStage::ListComponents:
    case RunStage::ListNets:
    case RunStage::ListNetClasses:
        break;
    }
    return u"正在读取列表… 元器件 " + decimal(listed_[0]) + u"  网络 " + decimal(listed_[1]) +
           u"  网络类型 " + decimal(listed_[2]);
}

} // namespace tagwright::window
