// Every host call a handler makes on the sample board, failed in turn: the k-th call of a run
// fails, for every k from the first call to the last. Each time the failure is reported once,
// with its own number, the window lives on, the design holds exactly what the calls before the
// failure made of it, and the same handler then works.
#include "host/Failure.h"
#include "host/memory/DesignFile.h"
#include "window/support/FakeControls.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

using namespace tagwright;
using window::CheckBox;
using window::ListBox;
using window::TextBox;

namespace {

using Messages = std::vector<test::FormMessage>;

// What a handler can change in the design: its live texts and the selection.
struct DesignState {
    std::vector<std::tuple<std::u16string, std::int32_t, double, double, double, double, double>>
        texts;
    std::vector<bool> components, nets;
    friend bool operator==(const DesignState&, const DesignState&) = default;
};

// The form over fake controls, loaded with a design and set up as the user leaves it before the
// run, its calls and messages forgotten.
struct Session : test::FormSession {
    Session(const host::memory::Design& d, const std::function<void(Session&)>& setUp)
        : FormSession(d) {
        EXPECT_TRUE(form.Form_Load());
        setUp(*this);
        controls.messages.clear();
        log->clear();
    }
    DesignState state() const {
        DesignState state;
        for (const auto& t : design->texts) {
            if (!t->deleted) {
                state.texts.emplace_back(t->text, t->layer, t->x, t->y, t->height, t->lineWidth,
                                         t->rotation);
            }
        }
        for (const auto& component : design->components) {
            state.components.push_back(component.selected);
        }
        for (const auto& net : design->nets) {
            state.nets.push_back(net.selected);
        }
        return state;
    }
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
    for (std::size_t i = 0; i < entries.size(); i += 2) {
        entries[i].selected = true;
    }
}

struct Handler {
    const char* name;
    std::function<void(Session&)> run;
    // What the user does first in every session, its calls never failed.
    std::function<void(Session&)> setUp = [](Session&) {};
    friend void PrintTo(const Handler& handler, std::ostream* out) { *out << handler.name; }
};

const Handler handlers[] = {
    {"NetNameLabelsWithVias", [](Session& s) { addLabels(s, 0); }},
    {"PinNumberLabels", [](Session& s) { addLabels(s, 1); }},
    {"NetClassLabelsWithVias", [](Session& s) { addLabels(s, 2); }},
    {"DeleteBesideALockedText", [](Session& s) { s.form.cmdDeleteLabel_Click(); },
     [](Session& s) { addLabels(s, 0); }},
    {"LocateComponents", [](Session& s) { s.form.cmdLocateComp_Click(); },
     [](Session& s) { selectEveryOther(s, ListBox::lstCompList); }},
    {"LocateNets", [](Session& s) { s.form.cmdLocateNet_Click(); },
     [](Session& s) {
         s.choose(0);
         selectEveryOther(s, ListBox::lstNetList);
     }},
};

class FaultSweep : public ::testing::TestWithParam<Handler> {};

TEST_P(FaultSweep, EveryHostCallOfTheRunFailedInTurn) {
    const Handler& handler = GetParam();
    const host::memory::Design board = host::memory::loadDesign(DEMO_BOARD);
    Messages shown;
    std::size_t calls = 0;
    {
        Session s(board, handler.setUp);
        handler.run(s);
        calls = s.log->calls.size();
        shown = s.controls.messages;
    }
    ASSERT_GT(calls, 5u);
    std::printf("%s: %zu host calls, each failed in turn\n", handler.name, calls);
    for (const test::FormMessage& message : shown) {
        ASSERT_EQ(message.text.find(u"运行时错误"), std::u16string::npos)
            << "the clean run failed: " << host::toUtf8(message.text);
    }

    for (std::size_t k = 1; k <= calls; ++k) {
        SCOPED_TRACE(testing::Message() << "call " << k << " of " << calls << " fails");
        std::weak_ptr<host::memory::Design> design;
        {
            Session s(board, handler.setUp);
            design = s.design;
            const auto number = static_cast<std::int32_t>(70'000 + k);
            // The run is the clean one up to the failure: what it had made and shown by then.
            DesignState madeBefore;
            Messages expected;
            s.log->beforeCall = [&](const host::RecordedCall&) {
                if (s.log->calls.size() == k) {
                    madeBefore = s.state();
                    expected = s.controls.messages;
                    throw host::Failure(number, u"injected");
                }
            };
            handler.run(s);
            expected.push_back(
                {u"运行时错误 '" + host::fromUtf8(std::to_string(number)) + u"':\ninjected"});
            ASSERT_EQ(s.controls.messages, expected);
            ASSERT_EQ(s.controls.programEnds, 0);
            ASSERT_FALSE(s.controls.busy);
            ASSERT_TRUE(s.state() == madeBefore)
                << "the design differs from what the first " << k - 1 << " calls made";

            s.log->beforeCall = nullptr;
            s.controls.messages.clear();
            handler.run(s);
            ASSERT_EQ(s.controls.messages, shown) << "the next run";
        }
        ASSERT_TRUE(design.expired()) << "a host object outlived the window";
    }
}

INSTANTIATE_TEST_SUITE_P(Handlers, FaultSweep, ::testing::ValuesIn(handlers),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
