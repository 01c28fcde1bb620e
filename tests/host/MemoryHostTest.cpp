#include "support/FailureOf.h"
#include "support/TestDesign.h"

#include "host/Failure.h"
#include "host/memory/BoardGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <utility>

using namespace tagwright;
using host::Value;

namespace {

// A position travels as a 16-bit integer while it fits, and as a 32-bit one past that.
TEST(MemoryHost, ItemFindsMembersByPositionAndName) {
    test::TestHost host(host::memory::generateBoard({.components = 33000, .pinsPerComponent = 0}));
    host::HostCollection components = host.document.components();
    EXPECT_EQ(host::HostComponent(components.item(32767)).name(), u"U32767");
    EXPECT_EQ(host::HostComponent(components.item(33000)).name(), u"U33000");
    EXPECT_EQ(host.log->calls[1].args, std::vector<Value>{std::int16_t{32767}});
    EXPECT_EQ(host.log->calls[3].args, std::vector<Value>{std::int32_t{33000}});
    EXPECT_EQ(host::HostComponent(components.item(u"U2")).name(), u"U2");

    for (std::int32_t outside : {0, 33001}) {
        EXPECT_EQ(test::failureNumber([&] { components.item(outside); }),
                  host::Failure::SubscriptOutOfRange);
    }
    EXPECT_NE(test::failureNumber([&] { components.item(u"VCC"); }), 0);
}

// The lookup by name must follow every change to the components, whether or not the count
// changes, and always answer the first of equal names.
TEST(MemoryHost, ComponentByNameFollowsEveryChange) {
    test::TestHost host(
        host::memory::generateBoard({.components = 6, .pinsPerComponent = 1, .nets = 2}));
    auto& components = host.design->components;
    auto positionOf = [&](const std::u16string& name) -> std::int32_t {
        host::ObjectRef found;
        if (test::failureNumber([&] { found = host.document.components().item(name); }) != 0) {
            return 0;
        }
        host::HostComponent(found).setSelected(true); // marks which one it was
        for (std::size_t i = 0; i < components.size(); ++i) {
            if (std::as_const(components)[i].selected) {
                components[i].selected = false;
                return static_cast<std::int32_t>(i + 1);
            }
        }
        return -1;
    };
    struct Step {
        const char* what;
        std::function<void()> change;
        std::vector<std::pair<std::u16string, std::int32_t>> lookups; // name, position or 0
    };
    const Step steps[] = {
        {"as generated", [] {}, {{u"U2", 2}, {u"U6", 6}, {u"U7", 0}}},
        {"renamed, count the same", [&] { components[1].name = u"Q9"; }, {{u"Q9", 2}, {u"U2", 0}}},
        {"renamed to an earlier name",
         [&] { components[2].name = u"U1"; },
         {{u"U1", 1}, {u"U3", 0}}},
        {"the first of two equal names renamed",
         [&] { components[0].name = u"Y"; },
         {{u"U1", 3}, {u"Y", 1}}},
        {"removed", [&] { components.pop_back(); }, {{u"U6", 0}, {u"U5", 5}}},
        {"added behind an equal name",
         [&] { components.push_back(components[4]); },
         {{u"U5", 5}, {u"U4", 4}}},
    };
    for (const auto& step : steps) {
        step.change();
        for (const auto& [name, position] : step.lookups) {
            EXPECT_EQ(positionOf(name), position) << step.what << ": " << host::toUtf8(name);
        }
    }
}

TEST(MemoryHost, CallsThatCannotWorkFailWithTheirNumbers) {
    test::TestHost host;
    host::HostPin pin(host::HostComponent(host.document.components().item(1)).pins().item(1));
    const auto addText = [&](const host::TextPlacement& placement) {
        return [&host, placement] { host.document.addText(placement); };
    };
    const double infinity = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        std::function<void()> call;
        std::int32_t number;
    };
    const Case cases[] = {
        {"unknown member", [&] { pin.get(u"Colour"); }, host::Failure::MemberNotSupported},
        {"put to a read-only property", [&] { pin.put(u"Name", u"x"); },
         host::Failure::MemberNotSupported},
        {"wrong argument type", [&] { pin.get(u"PositionX", {u"0"}); },
         host::Failure::TypeMismatch},
        {"call on nothing", [] { host::HostPin().name(); }, host::Failure::ObjectNotSet},
        {"layer out of range", [&] { host.document.layerName(4); }, 440},
        {"AddText on layer 0", addText({u"{x}", 0, 0, 0, 1, 1, 0}), 440},
        {"AddText at infinity", addText({u"{x}", 1, infinity, 0, 1, 1, 0}), 440},
        {"AddText with a NaN rotation", addText({u"{x}", 1, 0, 0, 1, 1, std::nan("")}), 440},
        {"AddText with a NUL", addText({std::u16string(u"{x\0}", 4), 1, 0, 0, 1, 1, 0}), 440},
        {"no document",
         [] { host::HostApplication(host::memory::makeApplication(nullptr)).activeDocument(); },
         440},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(test::failureNumber(c.call), c.number) << c.what;
    }
    EXPECT_EQ(host.design->texts.size(), 2u) << "a refused AddText adds nothing";
}

TEST(MemoryHost, AnUnknownMemberIsQuotedNoLongerThanNeeded) {
    test::TestHost host;
    const std::u16string prefix = u"对象不支持该属性或方法: ";
    const std::u16string forty(40, u'x'), pair = u"\U0001F600";
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"Colour", u"Colour"},
        {forty, forty},
        {std::u16string(1'000'000, u'x'), forty + u"…"},
        {std::u16string(39, u'x') + pair + u"y", std::u16string(39, u'x') + u"…"},
    };
    for (const auto& [member, shown] : cases) {
        const auto failure = test::failureOf([&] { host.document.get(member); });
        ASSERT_TRUE(failure) << "an unknown member was answered";
        EXPECT_EQ(failure->description(), prefix + shown) << host::toUtf8(shown);
    }
}

// As in the editor, a pin on a net without a class has empty text for its class.
TEST(MemoryHost, PinOnANetWithoutAClassHasAnEmptyClassProperty) {
    test::TestHost host;
    host::HostPin pin(host::HostComponent(host.document.components().item(1)).pins().item(3));
    EXPECT_EQ(pin.netClassProperty(), Value(u""));
}

// A client may hold many walks open; each must not cost a copy of every text.
TEST(MemoryHost, OpenTextWalksShareOneSnapshotYetEachSeesItsStart) {
    test::TestHost host(host::memory::generateBoard({.components = 1, .texts = 10000}));
    host::ObjectRef texts = host.document.texts().object();
    std::vector<std::unique_ptr<host::HostEnumerator>> walks;
    for (int i = 0; i < 1000; ++i) {
        walks.push_back(texts->enumerate());
        Value first;
        ASSERT_TRUE(walks.back()->next(first));
    }
    EXPECT_EQ(host.design->textSnapshot().use_count(), 1000 + 2) << "one copy for every walk";

    host.document.addText({u"{NEW}", 1, 0, 0, 1, 1, 0});
    ASSERT_TRUE(host::HostText(host.document.texts().item(2)).remove());
    auto countRest = [](host::HostEnumerator& walk) {
        int n = 0;
        for (Value member; walk.next(member);) {
            ++n;
        }
        return n;
    };
    auto fresh = texts->enumerate();
    EXPECT_EQ(countRest(*fresh), 10000) << "9,999 old texts and the new one";
    EXPECT_EQ(countRest(*walks.front()), 9999 - 1) << "an older walk skips what was deleted";
}

TEST(MemoryHost, LockedTextRefusesDeleteAndStays) {
    test::TestHost host(R"({"texts": [{"text": "{A}", "locked": true}, {"text": "{B}"}]})");
    host::HostCollection texts = host.document.texts();
    EXPECT_FALSE(host::HostText(texts.item(1)).remove());
    EXPECT_TRUE(host::HostText(texts.item(2)).remove());
    EXPECT_EQ(host.texts(), std::vector<std::u16string>{u"{A}"});
    // After the sweep positions close up again.
    EXPECT_EQ(host::HostText(host.document.texts().item(1)).textString(), u"{A}");
}

TEST(MemoryHost, SelectionAndViewAreRecorded) {
    test::TestHost host;
    std::vector<std::u16string> changes;
    host.design->onChange = [&](const host::memory::DesignChange& c) {
        changes.push_back(c.words);
        EXPECT_EQ(c.text != nullptr, c.kind == host::memory::DesignChange::Kind::TextAdded);
    };
    host::HostComponent(host.document.components().item(2)).setSelected(true);
    host::HostNet(host.document.nets().item(1)).setSelected(false);
    host.document.view().showSelection();
    host.document.addText({u"{GND}", 1, 110, 195, 15, 1, 0});

    EXPECT_TRUE(host.design->components[1].selected);
    EXPECT_EQ(host.design->showSelectionCalls, 1u);
    std::vector<std::u16string> expected = {u"selected R1", u"deselected GND",
                                            u"showed the selection",
                                            u"added {GND} at (110, 195) on layer 1"};
    EXPECT_EQ(changes, expected);
    // Showing the selection changes nothing a save would write.
    EXPECT_EQ(host.design->revision, 3u);
}

TEST(MemoryHost, AClosedDesignTakesNoMoreChanges) {
    test::TestHost host;
    host::HostText text(host.document.texts().item(1));
    host::HostComponent component(host.document.components().item(1));
    host.design->closed = true;
    const std::uint64_t revision = host.design->revision;

    EXPECT_THROW(host.document.addText({u"{VCC}", 1, 0, 0, 15, 1, 0}), host::Failure);
    EXPECT_THROW(text.remove(), host::Failure);
    EXPECT_THROW(component.setSelected(true), host::Failure);
    EXPECT_EQ(host.design->revision, revision);
    EXPECT_FALSE(host.design->components[0].selected);
}

TEST(BoardGenerator, RepeatedNamesAreSpreadEvenly) {
    const auto board = host::memory::generateBoard({.components = 30, .repeatedNames = 3});
    std::vector<std::u16string> repeated;
    for (std::size_t i = 1; i < board.components.size(); ++i) {
        if (board.components[i].name == board.components[i - 1].name) {
            repeated.push_back(board.components[i].name);
        }
    }
    EXPECT_EQ(repeated, (std::vector<std::u16string>{u"U9", u"U19", u"U29"}));
}

} // namespace
