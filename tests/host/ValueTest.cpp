#include "host/Value.h"
#include "host/Text.h"
#include "support/FailureOf.h"

#include <gtest/gtest.h>

using namespace tagwright::host;
using tagwright::test::failureNumber;

namespace {

TEST(Value, ConversionsFollowTheEditorsScriptingRules) {
    EXPECT_EQ(Value(std::int16_t{-3}).toInt32(), -3);
    EXPECT_EQ(Value(true).toInt32(), -1);
    EXPECT_EQ(Value(2.5).toInt32(), 2); // banker's rounding, as the host's own runtime
    EXPECT_EQ(Value(3.5).toInt32(), 4);
    EXPECT_DOUBLE_EQ(Value(std::int32_t{7}).toDouble(), 7.0);
    EXPECT_TRUE(Value(std::int32_t{5}).toBool());
    EXPECT_EQ(Value().toObject(), nullptr);

    EXPECT_EQ(failureNumber([] { Value(std::int32_t{32768}).toInt16(); }), Failure::Overflow);
    EXPECT_EQ(failureNumber([] { Value(1e12).toInt32(); }), Failure::Overflow);
    EXPECT_EQ(failureNumber([] { Value(u"12").toInt32(); }), Failure::TypeMismatch);
    EXPECT_EQ(failureNumber([] { Value(1.0).toString(); }), Failure::TypeMismatch);
    EXPECT_EQ(failureNumber([] { Value(u"x").toObject(); }), Failure::TypeMismatch);
}

TEST(Text, Utf8RoundTripKeepsEveryCharacter) {
    std::u16string text = u"网络 GND 😀 {x}";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(toUtf8(u"网"), "\xE7\xBD\x91");
}

TEST(Text, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(toUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
    EXPECT_EQ(fromUtf8("a\xC0\xAF"
                       "b"),
              u"a\uFFFD\uFFFDb");                     // overlong "/"
    EXPECT_EQ(fromUtf8("\xE7\xBD"), u"\uFFFD\uFFFD"); // cut short
}

} // namespace
