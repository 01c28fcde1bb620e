#include "window/RunMonitor.h"

#include "host/Text.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace tagwright::window {

namespace {

using labels::RunStage;

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

RunMonitor::RunMonitor(ProgressControls& controls, bool cancellable)
    : controls_(controls), cancellable_(cancellable) {
    controls_.blockInput(true);
    started_ = lastTurn_ = lastReading_ = controls_.now();
}

RunMonitor::~RunMonitor() {
    // The window takes input again before its progress window goes, so that a toolkit hands
    // the activation back to it rather than to another program.
    controls_.blockInput(false);
    if (shown_)
        controls_.closeProgress();
}

bool RunMonitor::proceed(RunStage stage, std::size_t done, std::size_t total) {
    if (isListStage(stage))
        listed_[static_cast<std::size_t>(stage) -
                static_cast<std::size_t>(RunStage::ListComponents)] = done;
    if (--countdown_ > 0)
        return !cancelled_;
    return atReading(stage, done, total);
}

bool RunMonitor::atReading(RunStage stage, std::size_t done, std::size_t total) {
    const auto now = controls_.now();
    // Aim the next reading a millisecond ahead at the pace just seen; the stride grows only
    // step by step, since a first step or two may cost nothing while the rest are slow.
    const auto perStep = (now - lastReading_) / stride_;
    const std::int64_t aimed = perStep.count() <= 0 ? maxStride : readingInterval / perStep;
    stride_ =
        static_cast<int>(std::clamp<std::int64_t>(aimed, 1, std::min(2 * stride_, maxStride)));
    countdown_ = stride_;
    lastReading_ = now;
    if (now - lastTurn_ < eventInterval)
        return !cancelled_;
    if (!shown_ && now - started_ >= showAfter) {
        controls_.showProgress(cancellable_);
        shown_ = true;
    }
    if (shown_)
        show(stage, done, total);
    controls_.processEvents();
    lastTurn_ = lastReading_ = controls_.now();
    return !cancelled_;
}

void RunMonitor::cancel() {
    if (cancellable_)
        cancelled_ = true;
}

void RunMonitor::eventsHandled() {
    // The pace of the steps before says nothing about the ones after a pause.
    lastTurn_ = lastReading_ = controls_.now();
    stride_ = countdown_ = 1;
}

void RunMonitor::show(RunStage stage, std::size_t done, std::size_t total) {
    const bool counted = stage == RunStage::Components || stage == RunStage::Locating;
    controls_.setProgress(describe(stage, done, total), counted ? barValue(done) : 0,
                          counted ? barValue(total) : 0);
}

std::u16string RunMonitor::describe(RunStage stage, std::size_t done, std::size_t total) const {
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
