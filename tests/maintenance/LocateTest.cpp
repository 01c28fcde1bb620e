#include "support/TestDesign.h"

#include "maintenance/Locate.h"

#include <gtest/gtest.h>

using namespace tagwright;
using labels::ListEntry;

namespace {

struct Shown {
    std::vector<std::u16string> messages;
    labels::ShowMessage callback() {
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

} // namespace
