#include "labels/SelectionSet.h"

#include <gtest/gtest.h>

using namespace tagwright::labels;
using tagwright::run::ListEntry;

namespace {

TEST(SelectionSet, MatchesWholeChosenNamesOnly) {
    SelectionSet set =
        SelectionSet::chosenIn({{u"GND", true}, {u"VCC", true}, {u"SDA", false}, {u"A@B", true}});
    EXPECT_TRUE(set.contains(u"GND"));
    EXPECT_TRUE(set.contains(u"A@B"));
    for (const auto* name : {u"gnd", u"GN", u"SDA", u"A", u"B", u"", u"GND@VCC"}) {
        EXPECT_FALSE(set.contains(name));
    }
    EXPECT_FALSE(SelectionSet::chosenIn({{u"X", false}}).contains(u"X"));
}

TEST(ComponentMask, FollowsTheListWhateverItsLength) {
    std::vector<ListEntry> list(5000, ListEntry{u"U", false});
    list[4999].selected = true;
    ComponentMask mask;
    mask.rebuild(list, false);
    EXPECT_EQ(mask.size(), 5000u);
    EXPECT_TRUE(mask[4998]);
    mask.rebuild(list, true);
    EXPECT_FALSE(mask[4998]);
    EXPECT_TRUE(mask[4999]);
    mask.rebuild({}, true);
    EXPECT_EQ(mask.size(), 0u);
}

} // namespace
