// Every host call a handler makes on the sample board, failed in turn: the k-th call of a run
// fails, for every k from the first call to the last. Each time the failure is reported once,
// with its own number, the window lives on, the design holds exactly what the calls before the
// failure made of it, and the same handler then works.
#include "host/CallRecorder.h"
#include "host/Failure.h"
#include "host/Text.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "window/frmTagwright.h"
#include "window/support/FakeControls.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace tagwright;
using window::CheckBox;
using window::ListBox;
using window::TextBox;

namespace {

using Messages = std::vector<test::FormMessage>;

const std::string& sampleBoard() {
    static const std::string json = [] {
        std::ifstream in(DEMO_BOARD, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    return json;
}

// The form over fake controls, loaded with the sample board through a call recorder.
struct Session {
    std::shared_ptr<host::memory::Design> design = std::make_shared<host::memory::Design>(
        host::memory::parseDesign(sampleBoard(), "demo-board.json"));
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    test::FakeControls controls;
    window::frmTagwright form{controls, [this] {
                                  return host::HostApplication(host::recordCalls(
                                      host::memory::makeApplication(design), log));
                              }};

    Session() {
        EXPECT_TRUE(form.Form_Load());
        log->clear();
    }
    void choose(std::int16_t option) {
        controls.chooseOption(option);
        form.optLabelType_Click(option);
    }
    // What the design holds that a handler can change: its texts and the selection.
    std::string state() const { return host::memory::serializeDesign(*design); }
};

struct Handler {
    const char* name;
    std::function<void(Session&)> arrange; // before the run, no failure injected
    std::function<void(Session&)> run;
};

void addLabels(Session& s, std::int16_t type) {
    s.choose(type);
    s.controls.box(CheckBox::chkVias).ticked = true;
    s.controls.field(TextBox::txtLabelOffsetX) = u"10";
    s.controls.field(TextBox::txtLabelOffsetY) = u"-5";
    s.form.cmdAddLabel_Click();
}

void selectEveryOther(Session& s, ListBox list) {
    auto& entries = s.controls.list(list);
    for (std::size_t i = 0; i < entries.size(); i += 2)
        entries[i].selected = true;
}

const Handler handlers[] = {
    {"net-name labels with vias", [](Session&) {}, [](Session& s) { addLabels(s, 0); }},
    {"pin-number labels", [](Session&) {}, [](Session& s) { addLabels(s, 1); }},
    {"net-class labels with vias", [](Session&) {}, [](Session& s) { addLabels(s, 2); }},
    {"delete beside a locked text", [](Session& s) { addLabels(s, 0); },
     [](Session& s) { s.form.cmdDeleteLabel_Click(); }},
    {"locate components", [](Session& s) { selectEveryOther(s, ListBox::lstCompList); },
     [](Session& s) { s.form.cmdLocateComp_Click(); }},
    {"locate nets",
     [](Session& s) {
         s.choose(0);
         selectEveryOther(s, ListBox::lstNetList);
     },
     [](Session& s) { s.form.cmdLocateNet_Click(); }},
};

// What a clean run of a handler shows and does, call by call.
struct CleanRun {
    std::vector<std::string> stateAfter; // [j]: the design after the run's first j calls
    std::vector<std::pair<std::size_t, test::FormMessage>> messages; // each after how many calls
    Messages shown() const {
        Messages all;
        for (const auto& [calls, message] : messages)
            all.push_back(message);
        return all;
    }
};

CleanRun cleanRun(const Handler& handler) {
    Session s;
    handler.arrange(s);
    s.controls.messages.clear();
    s.log->clear();
    CleanRun clean;
    s.log->beforeCall = [&](const host::RecordedCall&) {
        clean.stateAfter.push_back(s.state());
        for (std::size_t i = clean.messages.size(); i < s.controls.messages.size(); ++i)
            clean.messages.emplace_back(s.log->calls.size() - 1, s.controls.messages[i]);
    };
    handler.run(s);
    clean.stateAfter.push_back(s.state());
    for (std::size_t i = clean.messages.size(); i < s.controls.messages.size(); ++i)
        clean.messages.emplace_back(s.log->calls.size(), s.controls.messages[i]);
    return clean;
}

TEST(FaultSweep, EveryHostCallOfEveryHandlerFailedInTurn) {
    for (const Handler& handler : handlers) {
        SCOPED_TRACE(handler.name);
        const CleanRun clean = cleanRun(handler);
        const std::size_t calls = clean.stateAfter.size() - 1;
        ASSERT_GT(calls, 5u);
        std::printf("%s: %zu host calls, each failed in turn\n", handler.name, calls);
        for (const auto& [after, message] : clean.messages)
            ASSERT_EQ(message.text.find(u"运行时错误"), std::u16string::npos)
                << "the clean run failed: " << host::toUtf8(message.text);

        for (std::size_t k = 1; k <= calls; ++k) {
            SCOPED_TRACE(testing::Message() << "call " << k << " of " << calls << " fails");
            std::weak_ptr<host::memory::Design> design;
            {
                Session s;
                design = s.design;
                handler.arrange(s);
                s.controls.messages.clear();
                s.log->clear();
                const auto number = static_cast<std::int32_t>(70'000 + k);
                s.log->beforeCall = [&](const host::RecordedCall&) {
                    if (s.log->calls.size() == k)
                        throw host::Failure(number, u"injected");
                };
                handler.run(s);

                Messages expected;
                for (const auto& [after, message] : clean.messages)
                    if (after < k)
                        expected.push_back(message);
                expected.push_back({u"运行时错误 '" + host::fromUtf8(std::to_string(number)) +
                                    u"':\ninjected"});
                ASSERT_EQ(s.controls.messages, expected);
                ASSERT_EQ(s.controls.programEnds, 0);
                ASSERT_FALSE(s.controls.busy);
                ASSERT_TRUE(s.state() == clean.stateAfter[k - 1])
                    << "the design differs from what the first " << k - 1 << " calls made";

                s.log->beforeCall = nullptr;
                s.controls.messages.clear();
                handler.run(s);
                ASSERT_EQ(s.controls.messages, clean.shown()) << "the next run";
            }
            ASSERT_TRUE(design.expired()) << "a host object outlived the window";
        }
    }
}

// A refresh that fails anywhere ends the program with the attach notice, as a failed attach at
// start-up does; a refresh after it fills the lists again.
TEST(FaultSweep, EveryHostCallOfARefreshFailedInTurn) {
    Session clean;
    clean.form.cmdUpdateList_Click();
    const std::size_t calls = clean.log->calls.size();
    const auto lists = clean.controls.lists;
    ASSERT_GT(calls, 5u);
    std::printf("refresh: %zu host calls, each failed in turn\n", calls);
    for (std::size_t k = 1; k <= calls; ++k) {
        SCOPED_TRACE(testing::Message() << "call " << k << " of " << calls << " fails");
        std::weak_ptr<host::memory::Design> design;
        {
            Session s;
            design = s.design;
            const std::string before = s.state();
            s.log->beforeCall = [&](const host::RecordedCall&) {
                if (s.log->calls.size() == k)
                    throw host::Failure(static_cast<std::int32_t>(70'000 + k), u"injected");
            };
            s.form.cmdUpdateList_Click();
            ASSERT_EQ(s.controls.messages, Messages({{u"请先打开一个PCB设计文件!", u"提示"}}));
            ASSERT_EQ(s.controls.programEnds, 1);
            ASSERT_EQ(s.state(), before);

            s.log->beforeCall = nullptr;
            s.controls.messages.clear();
            s.form.cmdUpdateList_Click();
            ASSERT_TRUE(s.controls.messages.empty());
            for (std::size_t list = 0; list < lists.size(); ++list) {
                ASSERT_EQ(s.controls.lists[list].size(), lists[list].size());
                for (std::size_t i = 0; i < lists[list].size(); ++i)
                    ASSERT_EQ(s.controls.lists[list][i].text, lists[list][i].text);
            }
        }
        ASSERT_TRUE(design.expired()) << "a host object outlived the window";
    }
}

} // namespace
