#include "support/TestDesign.h"

#include "host/CallDelay.h"
#include "host/Failure.h"

#include <chrono>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

TEST(CallRecorder, RecordsEveryObjectReachedThroughTheRecordedOne) {
    test::TestHost host;
    host::HostCollection components = host.document.components();
    components.forEach([](const host::ObjectRef& c) { host::HostComponent(c).name(); });

    std::vector<std::u16string> expected = {u"Components", u"_NewEnum", u"Name", u"Name"};
    EXPECT_EQ(host.log->members(), expected);
}

TEST(CallRecorder, InjectedFailureStopsTheCallBeforeTheHostSeesIt) {
    test::TestHost host;
    host.log->beforeCall = [](const host::RecordedCall& call) {
        if (call.member == u"AddText") {
            throw host::Failure(-2147023174, u"RPC 服务器不可用");
        }
    };
    host::TextPlacement placement{u"{X}", 1, 0, 0, 1, 1, 0};
    try {
        host.document.addText(placement);
        FAIL() << "no failure";
    } catch (const host::Failure& e) {
        EXPECT_EQ(e.number(), -2147023174);
    }
    EXPECT_EQ(host.design->texts.size(), 2u);
}

// The slow host: everything reached through it answers as before, each call only later. The
// recorder inside sees which calls waited; the clock only that they waited at least so long.
TEST(CallDelay, EveryCallThroughItWaitsAndAnswersUnchanged) {
    test::TestHost host;
    const std::chrono::milliseconds delay(2);
    host::HostDocument slow(host::delayCalls(host.document.object(), delay));
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::u16string> names;
    slow.components().forEach(
        [&](const host::ObjectRef& c) { names.push_back(host::HostComponent(c).name()); });
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(names, std::vector<std::u16string>({u"U1", u"R1"}));
    EXPECT_EQ(host.log->members(),
              std::vector<std::u16string>({u"Components", u"_NewEnum", u"Name", u"Name"}));
    EXPECT_GE(took, 4 * delay);
}

} // namespace
