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
using labels::RunStage;

namespace {

struct Step {
    RunStage stage;
    std::size_t done, total;
    friend bool operator==(const Step&, const Step&) = default;
    friend void PrintTo(const Step& s, std::ostream* out) {
        *out << "(" << static_cast<int>(s.stage) << ", " << s.done << ", " << s.total << ")";
    }
};

// Notes each step with the host calls made before it, and stops the run at step `stopAt`.
class StepRecorder : public labels::RunProgress {
  public:
    StepRecorder(const host::CallLog& log, std::optional<std::size_t> stopAt)
        : log_(log), stopAt_(stopAt) {}

    std::vector<Step> steps;
    std::vector<std::size_t> callsBefore;

    bool proceed(RunStage stage, std::size_t done, std::size_t total) override {
        if (stopAt_ == steps.size())
            return false;
        steps.push_back({stage, done, total});
        callsBefore.push_back(log_.calls.size());
        return true;
    }

  private:
    const host::CallLog& log_;
    std::optional<std::size_t> stopAt_;
};

labels::WindowSnapshot windowFor(std::int16_t type) {
    labels::WindowSnapshot w;
    w.labelType = type;
    w.fontHeight = u"15";
    w.fontWidth = u"1";
    w.rotation = u"00";
    w.vias = true;
    w.unusedPins = true;
    w.components = {{u"U1"}, {u"R1", true}, {u"U1"}};
    return w;
}

// A design with labels to delete: the small board's, made by a run before the one watched.
void labelled(test::TestHost& host) {
    labels::ComponentMask mask;
    labels::addLabels(host.document, windowFor(labels::NetNameLabel), mask, nullptr);
}

using Run = std::function<void(test::TestHost&, labels::RunProgress*)>;

struct RunCase {
    const char* name;
    std::function<void(test::TestHost&)> arrange;
    Run run;
    std::vector<Step> steps;
};

void PrintTo(const RunCase& c, std::ostream* out) {
    *out << c.name;
}

const auto quiet = [](const std::u16string&, const std::u16string&) {};

const RunCase runCases[] = {
    {"net names with vias",
     nullptr,
     [](test::TestHost& host, labels::RunProgress* progress) {
         labels::ComponentMask mask;
         labels::addLabels(host.document, windowFor(labels::NetNameLabel), mask, quiet, progress);
     },
     // Before each component and each of its pins, counting components done of the three;
     // then before each via, counting via labels placed.
     {{RunStage::Components, 0, 3},
      {RunStage::Components, 0, 3},
      {RunStage::Components, 0, 3},
      {RunStage::Components, 0, 3},
      {RunStage::Components, 0, 3},
      {RunStage::Components, 1, 3},
      {RunStage::Components, 1, 3},
      {RunStage::Components, 1, 3},
      {RunStage::Components, 2, 3},
      {RunStage::Components, 2, 3},
      {RunStage::Components, 2, 3},
      {RunStage::Components, 2, 3},
      {RunStage::Components, 2, 3},
      {RunStage::Vias, 0, 0},
      {RunStage::Vias, 1, 0},
      {RunStage::Vias, 1, 0}}},
    {"pin numbers of the selected component",
     nullptr,
     [](test::TestHost& host, labels::RunProgress* progress) {
         labels::ComponentMask mask;
         auto window = windowFor(labels::PinNumberLabel);
         window.selectedComponents = true;
         labels::addLabels(host.document, window, mask, quiet, progress);
     },
     {{RunStage::Components, 0, 1}, {RunStage::Components, 0, 1}, {RunStage::Components, 0, 1}}},
    {"delete",
     labelled,
     [](test::TestHost& host, labels::RunProgress* progress) {
         maintenance::removeLabels(host.document, u"网络名称", quiet, progress);
     },
     // Before each text, counting texts deleted: {NOTE}, keep, then the run's labels.
     {{RunStage::Deleting, 0, 0},
      {RunStage::Deleting, 1, 0},
      {RunStage::Deleting, 1, 0},
      {RunStage::Deleting, 2, 0},
      {RunStage::Deleting, 3, 0},
      {RunStage::Deleting, 4, 0},
      {RunStage::Deleting, 5, 0},
      {RunStage::Deleting, 6, 0},
      {RunStage::Deleting, 7, 0},
      {RunStage::Deleting, 8, 0},
      {RunStage::Deleting, 9, 0},
      {RunStage::Deleting, 10, 0}}},
    {"locate",
     nullptr,
     [](test::TestHost& host, labels::RunProgress* progress) {
         maintenance::locate(host.document, maintenance::LocateTarget::Nets,
                             {{u"GND", true}, {u"SDA"}, {u"NC1", true}}, quiet, progress);
     },
     {{RunStage::Locating, 0, 3}, {RunStage::Locating, 1, 3}, {RunStage::Locating, 2, 3}}},
};

class WatchedRuns : public testing::TestWithParam<RunCase> {};

TEST_P(WatchedRuns, ReportEachStepBeforeItStarts) {
    const RunCase& c = GetParam();
    test::TestHost watched, unwatched;
    for (test::TestHost* host : {&watched, &unwatched}) {
        if (c.arrange)
            c.arrange(*host);
        host->log->clear();
    }
    StepRecorder recorder(*watched.log, std::nullopt);
    c.run(watched, &recorder);
    c.run(unwatched, nullptr);
    EXPECT_EQ(recorder.steps, c.steps);
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
    for (std::size_t k = 0; k < recorder.steps.size(); ++k)
        EXPECT_TRUE(opensStep(recorder.steps[k].stage,
                              watched.log->calls.at(recorder.callsBefore[k]).member))
            << "step " << k;
    // Watching changes nothing the host sees.
    EXPECT_EQ(watched.log->members(), unwatched.log->members());
    EXPECT_EQ(watched.texts(), unwatched.texts());
}

// Stopped at each step in turn, a run has made exactly the host calls it made before that step
// in a full run, and not one more: nothing is undone and no label is left half made.
TEST_P(WatchedRuns, StopBetweenTwoStepsKeepingWhatWasDone) {
    const RunCase& c = GetParam();
    test::TestHost full;
    if (c.arrange)
        c.arrange(full);
    full.log->clear();
    StepRecorder everyStep(*full.log, std::nullopt);
    c.run(full, &everyStep);

    for (std::size_t stop = 0; stop < everyStep.steps.size(); ++stop) {
        SCOPED_TRACE(testing::Message() << "stopped at step " << stop);
        test::TestHost host;
        if (c.arrange)
            c.arrange(host);
        host.log->clear();
        const auto textsBefore = host.texts();
        StepRecorder stopping(*host.log, stop);
        c.run(host, &stopping);

        const auto made = host.log->members();
        const auto expected = full.log->members();
        ASSERT_EQ(made.size(), everyStep.callsBefore[stop]);
        EXPECT_TRUE(std::equal(made.begin(), made.end(), expected.begin()));
        // Each label is one AddText and each deletion one Delete; every one made is in the design.
        const auto count = [&](std::u16string_view member) {
            return static_cast<std::size_t>(std::count(made.begin(), made.end(), member));
        };
        EXPECT_EQ(host.texts().size(), textsBefore.size() + count(u"AddText") - count(u"Delete"));
        EXPECT_EQ(host.design->showSelectionCalls, 0u) << "a stopped locate shows nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, WatchedRuns, testing::ValuesIn(runCases));

} // namespace
