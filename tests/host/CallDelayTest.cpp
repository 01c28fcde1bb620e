#include "support/TestDesign.h"

#include "host/CallDelay.h"

#include <chrono>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

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
