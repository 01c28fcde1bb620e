// The long runs as a watcher sees them: what each step reports, and that a run told to stop
// stops exactly there, between two labels, keeping what it did.
#include "support/TestDesign.h"

#include "labels/AddLabels.h"
#include "maintenance/Locate.h"
#include "maintenance/RemoveLabels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>

using namespace tagwright;
using run::RunStage;

namespace {

struct Step {
    RunStage stage;
    std::size_t done, total;
    friend bool operator==(const Step&, const Step&) = default;
    friend void PrintTo(const Step& s, std::ostream* out) {
        *out << "(" << static_cast<int>(s.stage) << ", " << s.done << ", " << s.total << ")";
    }
};

// The steps of one stage, by the count each reports, then the steps of `after`.
std::vector<Step> steps(RunStage stage, std::size_t total, std::vector<std::size_t> counts,
                        std::vector<Step> after = {}) {
    std::vector<Step> out;
    for (auto done : counts) {
        out.push_back({stage, done, total});
    }
    out.insert(out.end(), after.begin(), after.end());
    return out;
}

// Notes each step with the host calls made before it, and stops the run at step `stopAt`.
class StepRecorder : public run::RunProgress {
  public:
    StepRecorder(const host::CallLog& log, std::optional<std::size_t> stopAt)
        : log_(log), stopAt_(stopAt) {}

    std::vector<Step> steps;
    std::vector<std::size_t> callsBefore;

    bool proceed(RunStage stage, std::size_t done, std::size_t total) override {
        if (stopAt_ == steps.size()) {
            return false;
        }
        steps.push_back({stage, done, total});
        callsBefore.push_back(log_.calls.size());
        return true;
    }

  private:
    const host::CallLog& log_;
    std::optional<std::size_t> stopAt_;
};

run::LabelRequest requestFor(std::int16_t type, bool onlySelected = false) {
    run::LabelRequest w;
    w.labelType = type;
    w.fontHeight = u"15", w.fontWidth = u"1", w.rotation = u"00";
    w.vias = w.unusedPins = true;
    w.selectedComponents = onlySelected;
    w.components = {{u"U1"}, {u"R1", true}, {u"U1"}};
    return w;
}

const auto quiet = [](const std::u16string&, const std::u16string&) {};

struct RunCase {
    const char* name;
    std::function<void(test::TestHost&, run::RunProgress*)> run;
    std::vector<Step> steps;
    bool labelledFirst = false; // the small board's net-name labels placed before the run
};

void PrintTo(const RunCase& c, std::ostream* out) {
    *out << c.name;
}

const auto addLabels = [](std::int16_t type, bool onlySelected) {
    return [=](test::TestHost& host, run::RunProgress* progress) {
        labels::ComponentMask mask;
        labels::addLabels(host.document, requestFor(type, onlySelected), mask, quiet, progress);
    };
};

const RunCase runCases[] = {
    // Before each component and each of its pins, counting components begun of the three
    // (U1 has 4 pins, R1 2); then before each via, counting via labels placed.
    {"net names with vias", addLabels(run::NetNameLabel, false),
     steps(RunStage::Components, 3, {1, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 3, 3},
           steps(RunStage::Vias, 0, {0, 1, 1}))},
    {"pin numbers of the selected component", addLabels(run::PinNumberLabel, true),
     steps(RunStage::Components, 1, {1, 1, 1})},
    // Before each text, counting texts deleted: {NOTE}, keep, then the ten labels.
    {"delete",
     [](test::TestHost& host, run::RunProgress* progress) {
         maintenance::removeLabels(host.document, u"网络名称", quiet, progress);
     },
     steps(RunStage::Deleting, 0, {0, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), true},
    {"locate",
     [](test::TestHost& host, run::RunProgress* progress) {
         maintenance::locate(host.document, maintenance::LocateTarget::Nets,
                             {{u"GND", true}, {u"SDA"}, {u"NC1", true}}, quiet, progress);
     },
     steps(RunStage::Locating, 3, {0, 1, 2})},
};

// A fresh small board, as the case wants it, with nothing in the call log yet.
std::unique_ptr<test::TestHost> hostFor(const RunCase& c) {
    auto host = std::make_unique<test::TestHost>();
    if (c.labelledFirst) {
        addLabels(run::NetNameLabel, false)(*host, nullptr);
    }
    host->log->clear();
    return host;
}

class WatchedRuns : public testing::TestWithParam<RunCase> {};

TEST_P(WatchedRuns, ReportEachStepBeforeItStarts) {
    const RunCase& c = GetParam();
    auto watched = hostFor(c), unwatched = hostFor(c);
    StepRecorder recorder(*watched->log, std::nullopt);
    c.run(*watched, &recorder);
    c.run(*unwatched, nullptr);
    EXPECT_EQ(recorder.steps, c.steps);
    // Watching changes nothing the host sees.
    EXPECT_EQ(watched->log->members(), unwatched->log->members());
    EXPECT_EQ(watched->texts(), unwatched->texts());
    // A step begins with the host call that opens its work, so nothing of it came before.
    const auto opensStep = [](RunStage stage, std::u16string_view member) {
        switch (stage) {
        case RunStage::Components:
            return member == u"Components" || member == u"Net"; // a component, or a pin
        case RunStage::Vias:
            return member == u"Net";
        case RunStage::Deleting:
            return member == u"TextString";
        default:
            return member == u"Nets";
        }
    };
    for (std::size_t k = 0; k < recorder.steps.size(); ++k) {
        EXPECT_TRUE(opensStep(recorder.steps[k].stage,
                              watched->log->calls.at(recorder.callsBefore[k]).member))
            << "step " << k;
    }
}

// Stopped at each step in turn, a run has made exactly the host calls it made before that step
// in a full run, and not one more: nothing is undone and no label is left half made.
TEST_P(WatchedRuns, StopBetweenTwoStepsKeepingWhatWasDone) {
    const RunCase& c = GetParam();
    auto full = hostFor(c);
    StepRecorder everyStep(*full->log, std::nullopt);
    c.run(*full, &everyStep);
    const auto expected = full->log->members();

    for (std::size_t stop = 0; stop < everyStep.steps.size(); ++stop) {
        SCOPED_TRACE(testing::Message() << "stopped at step " << stop);
        auto host = hostFor(c);
        const auto textsBefore = host->texts().size();
        StepRecorder stopping(*host->log, stop);
        c.run(*host, &stopping);

        const auto made = host->log->members();
        ASSERT_EQ(made.size(), everyStep.callsBefore[stop]);
        EXPECT_TRUE(std::equal(made.begin(), made.end(), expected.begin()));
        // Each label is one AddText and each deletion one Delete; every one made is in the design.
        const auto count = [&](std::u16string_view member) {
            return static_cast<std::size_t>(std::count(made.begin(), made.end(), member));
        };
        EXPECT_EQ(host->texts().size(), textsBefore + count(u"AddText") - count(u"Delete"));
        EXPECT_EQ(host->design->showSelectionCalls, 0u) << "a stopped locate shows nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, WatchedRuns, testing::ValuesIn(runCases));

} // namespace
