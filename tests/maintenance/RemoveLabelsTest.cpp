#include "support/TestDesign.h"

#include "host/Failure.h"
#include "maintenance/RemoveLabels.h"

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

using Texts = std::vector<std::u16string>;

TEST(IsMarkedLabel, BracesAtBothEndsOnly) {
    for (const auto* marked : {u"{}", u"{GND}", u"{U1-3}", u"{{x}}", u"{网络}"}) {
        EXPECT_TRUE(maintenance::isMarkedLabel(marked));
    }
    for (const auto* kept : {u"", u"{", u"}", u"{GND", u"GND}", u" {GND}", u"{GND} ", u"a{b}"}) {
        EXPECT_FALSE(maintenance::isMarkedLabel(kept));
    }
}

TEST(RemoveLabels, RemovesMarkedTextsAndReportsEachRefusal) {
    test::TestHost host(R"({"layers": ["Top"], "texts": [
        {"text": "{GND}"}, {"text": "{12}", "locked": true}, {"text": "{"}, {"text": "note"},
        {"text": "{}"}, {"text": "{SDA}", "locked": true}, {"text": "x{y}"}, {"text": "{POWER}"}
    ]})");
    Texts messages;
    maintenance::removeLabels(host.document, u"管脚号",
                              [&](const std::u16string& text, const std::u16string& title) {
                                  EXPECT_EQ(title, u"Tagwright");
                                  messages.push_back(text);
                              });
    EXPECT_EQ(host.texts(), (Texts{u"{12}", u"{", u"note", u"{SDA}", u"x{y}"}));
    EXPECT_EQ(messages, (Texts{u"删除 管脚号{12} 时发生错误，请手工删除！",
                               u"删除 管脚号{SDA} 时发生错误，请手工删除！"}));
    EXPECT_EQ(host.log->count(u"Texts"), 1u);
    EXPECT_EQ(host.log->count(u"_NewEnum"), 1u);
}

TEST(RemoveLabels, HostFailureStopsThePassKeepingWhatIsDone) {
    test::TestHost host(R"({"texts": [{"text": "{A}"}, {"text": "{B}"}, {"text": "{C}"}]})");
    int deletes = 0;
    host.log->beforeCall = [&](const host::RecordedCall& call) {
        if (call.member == u"Delete" && ++deletes == 2) {
            throw host::Failure(-2147417848, u"被调用的对象已与其客户端断开连接");
        }
    };
    EXPECT_THROW(maintenance::removeLabels(host.document, u"网络名称", nullptr), host::Failure);
    EXPECT_EQ(host.texts(), (Texts{u"{B}", u"{C}"}));
}

} // namespace
