#include "labels/LabelSettings.h"
#include "host/Text.h"
#include "run/LabelRequest.h"
#include "support/FailureOf.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace tagwright;
using namespace std::string_literals;
using labels::parseNumber;

namespace {

// 400 zeros between `before` and `after`: past the range of a double either way.
std::u16string withZeros(std::u16string before, std::u16string_view after) {
    before.append(400, u'0');
    return before.append(after);
}

TEST(ParseNumber, AcceptsPlainDecimalsOnly) {
    // The last two are below the smallest double, whose nearest double is zero.
    const std::pair<std::u16string, double> good[] = {{u"", 0},
                                                      {u"15", 15},
                                                      {u"-2.5", -2.5},
                                                      {u".5", 0.5},
                                                      {u"5.", 5},
                                                      {u" 10 ", 10},
                                                      {u"00", 0},
                                                      {u"0.8", 0.8},
                                                      {u"\t-0.25", -0.25},
                                                      {withZeros(u"0.", u"1"), 0},
                                                      {withZeros(u"-.", u"7"), -0.0}};
    for (const auto& [text, value] : good) {
        EXPECT_DOUBLE_EQ(parseNumber(text), value);
    }
    for (const std::u16string text : {u"-", u".", u"1.2.3", u"1-2", u"--1", u"+1", u"1e3", u"1,5",
                                      u"１", u"abc", u"- 1", u" ", u"\t", u" \t  "}) {
        EXPECT_EQ(test::failureNumber([&] { parseNumber(text); }), host::Failure::TypeMismatch)
            << host::toUtf8(text);
    }
    for (const auto& text : {withZeros(u"1", u""), withZeros(u"-1", u".5")}) {
        EXPECT_EQ(test::failureNumber([&] { parseNumber(text); }), host::Failure::Overflow);
    }
}

TEST(LabelSettings, ConvertsMilsIntoTheDesignUnit) {
    run::LabelRequest request;
    request.offsetX = u"10";
    request.offsetY = u"-5";
    request.fontHeight = u"15";
    request.fontWidth = u"1"s; // a string, not a pointer: GCC 12 warns falsely on the other
    request.rotation = u"90";
    // Exact, one division with no rounding; the rotation is never converted.
    const std::pair<std::int32_t, std::tuple<double, double, double, double, double>> cases[] = {
        {2, {10, -5, 15, 1, 90}},
        {3, {0.01, -0.005, 0.015, 0.001, 90}},
        {4, {10 / 39.6, -5 / 39.6, 15 / 39.6, 1 / 39.6, 90}},
        {1, {0, 0, 0, 0, 90}},
        {5, {0, 0, 0, 0, 90}},
    };
    for (const auto& [unit, expected] : cases) {
        auto s = labels::makeLabelSettings(unit, request);
        EXPECT_EQ(std::tuple(s.offsetX, s.offsetY, s.height, s.lineWidth, s.rotation), expected)
            << unit;
    }
    EXPECT_EQ(test::failureNumber([&] { labels::makeLabelSettings(70000, request); }),
              host::Failure::Overflow);
}

} // namespace
