#include "labels/LabelSettings.h"
#include "host/Text.h"
#include "run/LabelRequest.h"
#include "support/FailureOf.h"

#include <gtest/gtest.h>

using namespace tagwright;
using labels::parseNumber;

namespace {

TEST(ParseNumber, AcceptsPlainDecimalsOnly) {
    // 400 zeros between `before` and `after`: past the range of a double either way.
    auto withZeros = [](std::u16string before, std::u16string_view after) {
        before.append(400, u'0');
        return before.append(after);
    };
    struct Case {
        std::u16string text;
        double value;
    };
    const Case good[] = {{u"", 0},
                         {u"15", 15},
                         {u"-2.5", -2.5},
                         {u".5", 0.5},
                         {u"5.", 5},
                         {u" 10 ", 10},
                         {u"00", 0},
                         {u"0.8", 0.8},
                         {u"\t-0.25", -0.25},
                         // below the smallest double: the nearest double is zero
                         {withZeros(u"0.", u"1"), 0},
                         {withZeros(u"-.", u"7"), -0.0}};
    for (const auto& c : good) {
        EXPECT_DOUBLE_EQ(parseNumber(c.text), c.value);
    }
    struct Bad {
        std::u16string text;
        std::int32_t failure;
    };
    const Bad bad[] = {{u"-", 13},
                       {u".", 13},
                       {u"1.2.3", 13},
                       {u"1-2", 13},
                       {u"--1", 13},
                       {u"+1", 13},
                       {u"1e3", 13},
                       {u"1,5", 13},
                       {u"１", 13},
                       {u"abc", 13},
                       {u"- 1", 13},
                       {u" ", 13},
                       {u"\t", 13},
                       {u" \t  ", 13},
                       {withZeros(u"1", u""), 6},
                       {withZeros(u"-1", u".5"), 6}};
    for (const auto& c : bad) {
        EXPECT_EQ(test::failureNumber([&] { parseNumber(c.text); }), c.failure)
            << host::toUtf8(c.text.substr(0, 20));
    }
}

TEST(LabelSettings, ConvertsMilsIntoTheDesignUnit) {
    run::LabelRequest request;
    request.offsetX = u"10";
    request.offsetY = u"-5";
    request.fontHeight = u"15";
    request.fontWidth = u"1";
    request.rotation = u"90";
    struct Case {
        std::int32_t unit;
        double x, y, h, w;
    };
    const Case cases[] = {
        {2, 10, -5, 15, 1},
        {3, 0.01, -0.005, 0.015, 0.001},
        {4, 10 / 39.6, -5 / 39.6, 15 / 39.6, 1 / 39.6},
        {1, 0, 0, 0, 0},
        {5, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        auto s = labels::makeLabelSettings(c.unit, request);
        EXPECT_EQ(s.offsetX, c.x) << c.unit; // exact: one division, no rounding
        EXPECT_EQ(s.offsetY, c.y) << c.unit;
        EXPECT_EQ(s.height, c.h) << c.unit;
        EXPECT_EQ(s.lineWidth, c.w) << c.unit;
        EXPECT_EQ(s.rotation, 90) << c.unit; // never converted
    }
    EXPECT_EQ(labels::makeLabelSettings(4, request).height, 0.3787878787878788);
}

TEST(LabelSettings, UnitThatDoesNotFitSixteenBitsOverflows) {
    EXPECT_EQ(test::failureNumber([] { labels::makeLabelSettings(70000, {}); }),
              host::Failure::Overflow);
}

} // namespace
