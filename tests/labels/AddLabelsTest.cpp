#include "support/FailureOf.h"
#include "support/TestDesign.h"

#include "host/Failure.h"
#include "host/memory/BoardGenerator.h"
#include "labels/AddLabels.h"

#include <gtest/gtest.h>

using namespace tagwright;
using run::LabelRequest;

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
    w.netClasses = {{u"POWER"}, {u"SIGNAL"}};
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

struct RuleCase {
    const char* name;
    std::function<void(LabelRequest&)> setUp;
    std::int16_t type;
    Texts labels;
    Texts messages = {};
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

class PinAndViaRules : public testing::TestWithParam<RuleCase> {};

TEST_P(PinAndViaRules, PlaceExactlyTheQualifyingLabelsInOrder) {
    const RuleCase& c = GetParam();
    LabelRequest request = requestFor(c.type);
    if (c.setUp) {
        c.setUp(request);
    }
    test::TestHost host;
    RunResult result = run(request, host);
    EXPECT_EQ(result.added, c.labels);
    EXPECT_EQ(result.messages, c.messages);
}

const auto chooseNets = [](std::vector<int> positions) {
    return [=](LabelRequest& w) {
        w.selectedNets = true;
        for (int p : positions) {
            w.nets[p].selected = true;
        }
    };
};
const auto chooseClasses = [](std::vector<int> positions) {
    return [=](LabelRequest& w) {
        w.selectedNetClasses = true;
        for (int p : positions) {
            w.netClasses[p].selected = true;
        }
    };
};

INSTANTIATE_TEST_SUITE_P(
    Rules, PinAndViaRules,
    testing::Values(
        RuleCase{"NetNameEveryPinOnANet",
                 nullptr,
                 run::NetNameLabel,
                 {u"{GND}", u"{SDA}", u"{NC1}", u"{SDA}", u"{GND}"}},
        RuleCase{"NetNameViasAfterPinsSkippingViaWithoutNet",
                 [](LabelRequest& w) { w.vias = true; },
                 run::NetNameLabel,
                 {u"{GND}", u"{SDA}", u"{NC1}", u"{SDA}", u"{GND}", u"{SDA}", u"{NC1}"}},
        RuleCase{"NetNameChosenNetsOnly", chooseNets({0}), run::NetNameLabel, {u"{GND}", u"{GND}"}},
        RuleCase{"NetNameChosenClassOnly",
                 [](LabelRequest& w) {
                     chooseClasses({1})(w);
                     w.vias = true;
                 },
                 run::NetNameLabel,
                 {u"{SDA}", u"{SDA}", u"{SDA}"}},
        RuleCase{"NetNameClassFilterWithNothingChosenPlacesNothing",
                 chooseClasses({}),
                 run::NetNameLabel,
                 {}},
        RuleCase{"NetNameNeedsBothNetAndClassChosen",
                 [](LabelRequest& w) {
                     chooseNets({0})(w);
                     chooseClasses({1})(w);
                 },
                 run::NetNameLabel,
                 {}},
        RuleCase{"NetNameClasslessNetPassesOnlyAsMarker",
                 [](LabelRequest& w) {
                     w.netClasses.push_back({u"#$%&", true});
                     w.selectedNetClasses = true;
                 },
                 run::NetNameLabel,
                 {u"{NC1}"}},
        RuleCase{"NetNameChosenComponentButEveryVia",
                 [](LabelRequest& w) {
                     w.selectedComponents = true;
                     w.components[1].selected = true;
                     w.vias = true;
                 },
                 run::NetNameLabel,
                 {u"{SDA}", u"{GND}", u"{SDA}", u"{NC1}"}},
        RuleCase{"PinNumberSkipsPinsWithoutNetAndAnnouncesUnnamedPin",
                 nullptr,
                 run::PinNumberLabel,
                 {u"{1}", u"{2}", u"{12}", u"{1}", u"{2}"},
                 {u"12"}},
        RuleCase{"PinNumberWithUnusedPinsLabelsEveryPinButNoVia",
                 [](LabelRequest& w) {
                     w.unusedPins = true;
                     w.vias = true;
                     chooseNets({})(w);
                 },
                 run::PinNumberLabel,
                 {u"{1}", u"{2}", u"{12}", u"{4}", u"{1}", u"{2}"},
                 {u"12"}},
        RuleCase{"NetClassIgnoresNetFilterAndClasslessNets",
                 [](LabelRequest& w) {
                     chooseNets({})(w);
                     w.unusedPins = true;
                     w.vias = true;
                 },
                 run::NetClassLabel,
                 {u"{POWER}", u"{SIGNAL}", u"{SIGNAL}", u"{POWER}", u"{SIGNAL}"}},
        RuleCase{"NetClassChosenClassOnly",
                 chooseClasses({0}),
                 run::NetClassLabel,
                 {u"{POWER}", u"{POWER}"}},
        RuleCase{"UnknownTypePlacesNothing", nullptr, 7, {}},
        RuleCase{"ComponentListedTwiceIsLabelledTwice",
                 [](LabelRequest& w) {
                     w.components = {{u"R1"}, {u"R1"}};
                 },
                 run::NetNameLabel,
                 {u"{SDA}", u"{GND}", u"{SDA}", u"{GND}"}}),
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
        for (const char16_t* text : {u"-", u" ", u"\t"}) {
            LabelRequest request = requestFor(run::NetNameLabel);
            request.*field = text;
            test::TestHost host;
            EXPECT_EQ(test::failureNumber([&] { run(request, host); }),
                      host::Failure::TypeMismatch);
            EXPECT_EQ(host.log->members(), std::vector<std::u16string>{u"Unit"});
            EXPECT_EQ(host.texts().size(), 2u);
        }
    }
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
        test::TestHost host(
            R"({"layers": ["Top"], "nets": [{"name": "GND"}], "components": [{"name": "U1", "pins": [
            {"name": "1", "x": 0, "y": 0, "net": "GND"},
            {"name": "2", "net": "GND"}, {"name": "3", "net": "GND"}]}]})");
        host.design->components[0].pins[1].x = c.pinX;
        host.design->components[0].pins[1].y = c.pinY;
        LabelRequest request = requestFor(run::PinNumberLabel);
        request.components = {{u"U1"}};
        request.offsetX = c.offsetX;
        request.offsetY = c.offsetY;
        EXPECT_EQ(test::failureNumber([&] { run(request, host); }), host::Failure::Overflow)
            << c.what;
        EXPECT_EQ(host.texts(), (Texts{u"{1}"})) << c.what;
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
    Texts expected = {u"{NOTE}", u"keep", u"{GND}", u"{SDA}"};
    EXPECT_EQ(host.texts(), expected);
}

TEST(AddLabels, ComponentGoneFromTheDesignEndsTheRunThere) {
    LabelRequest request = requestFor(run::PinNumberLabel);
    request.components = {{u"R1"}, {u"U9"}, {u"U1"}};
    test::TestHost host;
    EXPECT_THROW(run(request, host), host::Failure);
    Texts expected = {u"{NOTE}", u"keep", u"{1}", u"{2}"};
    EXPECT_EQ(host.texts(), expected);
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
