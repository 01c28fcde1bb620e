#include "support/FailureOf.h"
#include "support/TestDesign.h"

#include "host/Failure.h"
#include "host/memory/BoardGenerator.h"
#include "labels/AddLabels.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tagwright;
using run::LabelRequest;
using run::ListEntry;

namespace {

using Texts = std::vector<std::u16string>;

// What the window hands a run on the small board, with nothing chosen and the default sizes.
LabelRequest requestFor(std::int16_t type) {
    LabelRequest w;
    w.labelType = type;
    w.fontHeight = u"15";
    w.fontWidth = u"1";
    w.rotation = u"00";
    w.components = {{u"U1"}, {u"R1"}};
    w.nets = {{u"GND"}, {u"SDA"}, {u"NC1"}};
    w.netClasses = {{u"POWER"}, {u"SIGNAL"}, {u"#$%&"}}; // the last: the no-class marker
    return w;
}

struct RunResult {
    Texts added;
    Texts messages;
};

RunResult run(const LabelRequest& request, test::TestHost& host) {
    RunResult result;
    auto before = host.design->texts.size();
    labels::ComponentMask mask;
    labels::addLabels(host.document, request, mask,
                      [&](const std::u16string& text, const std::u16string& title) {
                          EXPECT_EQ(title, u"Tagwright");
                          result.messages.push_back(text);
                      });
    for (auto i = before; i < host.design->texts.size(); ++i) {
        result.added.push_back(host.design->texts[i]->text);
    }
    return result;
}

// Each case's request is the default one with its choices applied; the labels are expected in
// order, one space between two.
struct RuleCase {
    const char* name;
    std::int16_t type;
    std::function<void(LabelRequest&)> choose;
    std::u16string labels;
    std::u16string messages = {};
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

std::u16string joined(const Texts& texts) {
    std::u16string out;
    for (const auto& text : texts) {
        out += (out.empty() ? u"" : u" ") + text;
    }
    return out;
}

class PinAndViaRules : public testing::TestWithParam<RuleCase> {};

TEST_P(PinAndViaRules, PlaceExactlyTheQualifyingLabelsInOrder) {
    const RuleCase& c = GetParam();
    LabelRequest request = requestFor(c.type);
    c.choose(request);
    test::TestHost host;
    RunResult result = run(request, host);
    EXPECT_EQ(joined(result.added), c.labels);
    EXPECT_EQ(joined(result.messages), c.messages);
}

// A list of positions turns the filter of that list on and chooses those entries.
const auto chooseIn = [](std::vector<ListEntry> LabelRequest::*list, bool LabelRequest::*filter) {
    return [=](std::vector<std::size_t> positions) {
        return [=](LabelRequest& w) {
            w.*filter = true;
            for (auto p : positions) {
                (w.*list)[p].selected = true;
            }
        };
    };
};
const auto chooseNets = chooseIn(&LabelRequest::nets, &LabelRequest::selectedNets);
const auto chooseClasses = chooseIn(&LabelRequest::netClasses, &LabelRequest::selectedNetClasses);
const auto chooseComponents =
    chooseIn(&LabelRequest::components, &LabelRequest::selectedComponents);
const auto vias = [](LabelRequest& w) { w.vias = true; };
const auto unusedPins = [](LabelRequest& w) { w.unusedPins = true; };
const auto nothing = [](LabelRequest&) {};
template <class... Choices> auto all(Choices... choices) {
    return [=](LabelRequest& w) { (choices(w), ...); };
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PinAndViaRules,
    testing::Values(
        RuleCase{"NetNameEveryPinOnANet", run::NetNameLabel, nothing,
                 u"{GND} {SDA} {NC1} {SDA} {GND}"},
        RuleCase{"NetNameViasAfterPinsSkippingViaWithoutNet", run::NetNameLabel, vias,
                 u"{GND} {SDA} {NC1} {SDA} {GND} {SDA} {NC1}"},
        RuleCase{"NetNameChosenNetsOnly", run::NetNameLabel, chooseNets({0}), u"{GND} {GND}"},
        RuleCase{"NetNameChosenClassOnly", run::NetNameLabel, all(chooseClasses({1}), vias),
                 u"{SDA} {SDA} {SDA}"},
        RuleCase{"NetNameClassFilterWithNothingChosenPlacesNothing", run::NetNameLabel,
                 chooseClasses({}), u""},
        RuleCase{"NetNameNeedsBothNetAndClassChosen", run::NetNameLabel,
                 all(chooseNets({0}), chooseClasses({1})), u""},
        RuleCase{"NetNameClasslessNetPassesOnlyAsMarker", run::NetNameLabel, chooseClasses({2}),
                 u"{NC1}"},
        RuleCase{"NetNameChosenComponentButEveryVia", run::NetNameLabel,
                 all(chooseComponents({1}), vias), u"{SDA} {GND} {SDA} {NC1}"},
        RuleCase{"PinNumberSkipsPinsWithoutNetAndAnnouncesUnnamedPin", run::PinNumberLabel, nothing,
                 u"{1} {2} {12} {1} {2}", u"12"},
        RuleCase{"PinNumberWithUnusedPinsLabelsEveryPinButNoVia", run::PinNumberLabel,
                 all(unusedPins, vias, chooseNets({})), u"{1} {2} {12} {4} {1} {2}", u"12"},
        RuleCase{"NetClassIgnoresNetFilterAndClasslessNets", run::NetClassLabel,
                 all(chooseNets({}), unusedPins, vias),
                 u"{POWER} {SIGNAL} {SIGNAL} {POWER} {SIGNAL}"},
        RuleCase{"NetClassChosenClassOnly", run::NetClassLabel, chooseClasses({0}),
                 u"{POWER} {POWER}"},
        RuleCase{"UnknownTypePlacesNothing", 7, nothing, u""},
        RuleCase{"ComponentListedTwiceIsLabelledTwice", run::NetNameLabel,
                 [](LabelRequest& w) { w.components.assign(2, {u"R1"}); },
                 u"{SDA} {GND} {SDA} {GND}"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddLabels, PassesTheExactAddTextArguments) {
    LabelRequest request = requestFor(run::NetNameLabel);
    request.offsetX = u"10";
    request.offsetY = u"-5";
    request.rotation = u"90";
    request.layerIndex = 1;
    test::TestHost host;
    run(request, host);

    auto addText = std::find_if(host.log->calls.begin(), host.log->calls.end(),
                                [](const auto& c) { return c.member == u"AddText"; });
    ASSERT_NE(addText, host.log->calls.end());
    std::vector<host::Value> expected = {u"{GND}", std::int16_t{2}, 110.0, 195.0,          15.0,
                                         1.0,      std::int32_t{0}, 90.0,  std::int32_t{0}};
    EXPECT_EQ(addText->args, expected);
    EXPECT_EQ(addText->kind, host::CallKind::Method);
}

TEST(AddLabels, HostCallsPerLabelStayWithinBudget) {
    test::TestHost host(R"({"layers": ["Top"], "netClasses": ["P"],
        "nets": [{"name": "GND", "netClass": "P"}],
        "components": [{"name": "U1", "pins": [{"name": "1", "x": 0, "y": 0, "net": "GND"}]}]})");
    LabelRequest request = requestFor(run::NetNameLabel);
    request.components = {{u"U1"}};
    run(request, host);
    std::vector<std::u16string> netName = {u"Unit",     u"Components", u"Item",      u"Pins",
                                           u"_NewEnum", u"Net",        u"Name",      u"NetClass",
                                           u"Name",     u"PositionX",  u"PositionY", u"AddText"};
    EXPECT_EQ(host.log->members(), netName);

    host.log->clear();
    request.labelType = run::PinNumberLabel;
    run(request, host);
    std::vector<std::u16string> pinNumber = {u"Unit",      u"Components", u"Item", u"Pins",
                                             u"_NewEnum",  u"Net",        u"Name", u"PositionX",
                                             u"PositionY", u"AddText"};
    EXPECT_EQ(host.log->members(), pinNumber);
}

TEST(AddLabels, BadNumberStopsBeforeAnythingIsPlaced) {
    for (auto field : {&LabelRequest::offsetX, &LabelRequest::offsetY, &LabelRequest::fontHeight,
                       &LabelRequest::fontWidth, &LabelRequest::rotation}) {
        LabelRequest request = requestFor(run::NetNameLabel);
        request.*field = u"-";
        test::TestHost host;
        EXPECT_EQ(test::failureNumber([&] { run(request, host); }), host::Failure::TypeMismatch);
        EXPECT_EQ(host.log->members(), std::vector<std::u16string>{u"Unit"});
    }
}

// The editor takes the layer as a 16-bit integer: one past it must not wrap onto another layer.
TEST(AddLabels, ALayerPastSixteenBitsOverflowsBeforeAddText) {
    test::TestHost host;
    LabelRequest request = requestFor(run::PinNumberLabel);
    request.layerIndex = std::numeric_limits<std::int16_t>::max();
    EXPECT_EQ(test::failureNumber([&] { run(request, host); }), host::Failure::Overflow);
    EXPECT_EQ(host.log->count(u"AddText"), 0u);
}

// A label past the range of a double could be placed but never saved.
TEST(AddLabels, PositionBeyondTheRangeOfADoubleOverflowsBeforeAddText) {
    struct Case {
        const char* what;
        double pinX, pinY;
        std::u16string offsetX, offsetY;
    };
    const std::u16string big = u"1" + std::u16string(308, u'0');
    const Case cases[] = {
        {"x", 1.7e308, 0, big, u"0"},
        {"y", 0, -1.7e308, u"0", u"-" + big},
    };
    for (const auto& c : cases) {
        test::TestHost host; // the second pin of U1, the first component, moves to the edge
        host.design->components[0].pins[1].x = c.pinX;
        host.design->components[0].pins[1].y = c.pinY;
        LabelRequest request = requestFor(run::PinNumberLabel);
        request.offsetX = c.offsetX;
        request.offsetY = c.offsetY;
        EXPECT_EQ(test::failureNumber([&] { run(request, host); }), host::Failure::Overflow)
            << c.what;
        EXPECT_EQ(host.texts(), (Texts{u"{NOTE}", u"keep", u"{1}"})) << c.what;
        EXPECT_EQ(host.log->count(u"AddText"), 1u) << c.what;
    }
}

TEST(AddLabels, FailureMidRunKeepsTheLabelsPlacedSoFar) {
    test::TestHost host;
    int addTexts = 0;
    host.log->beforeCall = [&](const host::RecordedCall& call) {
        if (call.member == u"AddText" && ++addTexts == 3) {
            throw host::Failure(-2147023174, u"RPC 服务器不可用");
        }
    };
    EXPECT_THROW(run(requestFor(run::NetNameLabel), host), host::Failure);
    EXPECT_EQ(host.texts(), (Texts{u"{NOTE}", u"keep", u"{GND}", u"{SDA}"}));
}

TEST(AddLabels, ComponentGoneFromTheDesignEndsTheRunThere) {
    LabelRequest request = requestFor(run::PinNumberLabel);
    request.components = {{u"R1"}, {u"U9"}, {u"U1"}};
    test::TestHost host;
    EXPECT_THROW(run(request, host), host::Failure);
    EXPECT_EQ(host.texts(), (Texts{u"{NOTE}", u"keep", u"{1}", u"{2}"}));
}

TEST(AddLabels, LargeDesignsAreNotCapped) {
    test::TestHost host(host::memory::generateBoard({.components = 5000, .pinsPerComponent = 1}));
    LabelRequest request = requestFor(run::PinNumberLabel);
    request.unusedPins = true;
    request.components.clear();
    for (const auto& c : host.design->components) {
        request.components.push_back({c.name, false});
    }
    EXPECT_EQ(run(request, host).added.size(), 5000u);
}

} // namespace
