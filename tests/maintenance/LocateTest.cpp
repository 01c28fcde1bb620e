#include "support/FailureOf.h"
#include "support/TestDesign.h"

#include "host/Failure.h"
#include "maintenance/Locate.h"

#include <gtest/gtest.h>

#include <map>

using namespace tagwright;
using run::ListEntry;

namespace {

struct Shown {
    std::vector<std::u16string> messages;
    run::ShowMessage callback() {
        return [this](const std::u16string& text, const std::u16string& title) {
            EXPECT_EQ(title, u"Tagwright");
            messages.push_back(text);
        };
    }
};

TEST(Locate, SelectsExactlyTheChosenEntriesThenShowsThem) {
    test::TestHost host;
    host.design->nets[0].selected = true;
    Shown shown;
    maintenance::locate(host.document, maintenance::LocateTarget::Components,
                        {{u"U1", false}, {u"R1", true}}, shown.callback());

    EXPECT_FALSE(host.design->components[0].selected);
    EXPECT_TRUE(host.design->components[1].selected);
    EXPECT_TRUE(host.design->nets[0].selected); // nets untouched
    EXPECT_EQ(host.design->showSelectionCalls, 1u);
    EXPECT_TRUE(shown.messages.empty());
    std::vector<std::u16string> calls = {u"Components", u"Item",         u"Name", u"Selected",
                                         u"Components", u"Item",         u"Name", u"Selected",
                                         u"View",       u"ShowSelection"};
    EXPECT_EQ(host.log->members(), calls);
    EXPECT_EQ(host.log->calls[1].args, std::vector<host::Value>{std::int16_t{1}});
    EXPECT_EQ(host.log->calls[3].args, std::vector<host::Value>{false});
    EXPECT_EQ(host.log->calls[7].args, std::vector<host::Value>{true});
}

TEST(Locate, EmptyListStillShowsTheSelection) {
    test::TestHost host;
    maintenance::locate(host.document, maintenance::LocateTarget::Nets, {}, nullptr);
    EXPECT_EQ(host.log->members(), (std::vector<std::u16string>{u"View", u"ShowSelection"}));
}

TEST(Locate, StaleListNeverSelectsTheWrongObject) {
    struct Case {
        const char* what;
        std::vector<ListEntry> list;
        std::vector<bool> selectedAfter; // GND, SDA, NC1
    };
    const Case cases[] = {
        {"renamed in the editor",
         {{u"GND", true}, {u"VCC", true}, {u"NC1", true}},
         {true, false, false}},
        {"fewer members than entries",
         {{u"GND", false}, {u"SDA", true}, {u"NC1", true}, {u"EXTRA", true}},
         {false, true, true}},
    };
    for (const auto& c : cases) {
        test::TestHost host;
        Shown shown;
        maintenance::locate(host.document, maintenance::LocateTarget::Nets, c.list,
                            shown.callback());
        EXPECT_EQ(shown.messages, std::vector<std::u16string>{u"对象列表已过期，请先更新列表!"})
            << c.what;
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(host.design->nets[i].selected, c.selectedAfter[i]) << c.what << " " << i;
        }
        EXPECT_EQ(host.design->showSelectionCalls, 0u) << c.what;
    }
}

// Only a missing member means the list is stale; anything else the editor does wrong is
// reported as its own failure, and nothing after it is written. Each member named fails from
// its n-th call on: Item at the second entry, the others at their first or second call.
struct FailingCalls {
    const char* what;
    std::map<std::u16string, int> failFrom;
};

void PrintTo(const FailingCalls& c, std::ostream* out) {
    *out << c.what;
}

class OtherHostFailures : public testing::TestWithParam<FailingCalls> {};

TEST_P(OtherHostFailures, PropagateAsThemselves) {
    test::TestHost host;
    std::map<std::u16string, int> seen;
    host.log->beforeCall = [&](const host::RecordedCall& call) {
        const auto failing = GetParam().failFrom.find(call.member);
        if (failing != GetParam().failFrom.end() && ++seen[call.member] >= failing->second) {
            throw host::Failure(462, u"远程服务器机器不存在或不可用");
        }
    };
    Shown shown;
    EXPECT_EQ(test::failureNumber([&] {
                  maintenance::locate(host.document, maintenance::LocateTarget::Nets,
                                      {{u"GND", true}, {u"SDA", true}, {u"NC1", true}},
                                      shown.callback());
              }),
              462);
    EXPECT_TRUE(shown.messages.empty());
    EXPECT_FALSE(host.design->nets[1].selected || host.design->nets[2].selected);
    EXPECT_EQ(host.design->showSelectionCalls, 0u);
}

INSTANTIATE_TEST_SUITE_P(Locate, OtherHostFailures,
                         testing::Values(FailingCalls{"editor gone at Item", {{u"Item", 2}}},
                                         // Count, asked once the Item failed, fails as well.
                                         FailingCalls{"editor gone at Item and Count",
                                                      {{u"Item", 2}, {u"Count", 1}}},
                                         FailingCalls{"Name refused", {{u"Name", 2}}},
                                         FailingCalls{"Selected refused", {{u"Selected", 2}}}));

} // namespace
