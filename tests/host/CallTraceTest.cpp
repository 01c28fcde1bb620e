#include "support/TestDesign.h"

#include "host/CallTrace.h"
#include "host/Failure.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

using namespace tagwright;
using namespace std::chrono_literals;

namespace {

// A clock that moves 5 µs at every reading, from 12:00:00, makes the lines exact; the host's
// call log can make a call fail with whatever a test throws.
struct TracedDesign {
    test::TestHost host;
    std::ostringstream* out = nullptr;
    std::shared_ptr<host::CallTrace> trace;

    TracedDesign() {
        auto stream = std::make_unique<std::ostringstream>();
        out = stream.get();
        trace = host::traceInto(
            std::move(stream), [t = 0us]() mutable { return t += 5us; }, 12h);
    }
    host::HostDocument document() {
        return host::HostDocument(host::traceCalls(host.document.object(), trace));
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream in(out->str());
        for (std::string line; std::getline(in, line);) {
            result.push_back(line);
        }
        return result;
    }
};

TEST(CallTrace, CallsShowObjectKindArgumentsResultAndDuration) {
    TracedDesign traced;
    host::HostDocument document = traced.document();
    host::HostComponent component(document.components().item(2));
    EXPECT_EQ(component.name(), u"R1");
    host::HostPin pin(host::HostCollection(component.pins()).item(1));
    pin.positionX();
    component.setSelected(true);
    host::HostNet(pin.net()).netClass();

    EXPECT_EQ(traced.lines(), std::vector<std::string>({
                                  "12:00:00.000005 obj1 get Components() -> obj2 (5 µs)",
                                  "12:00:00.000015 obj2 get Item(int16:2) -> obj3 (5 µs)",
                                  "12:00:00.000025 obj3 get Name() -> \"R1\" (5 µs)",
                                  "12:00:00.000035 obj3 get Pins() -> obj4 (5 µs)",
                                  "12:00:00.000045 obj4 get Item(int16:1) -> obj5 (5 µs)",
                                  "12:00:00.000055 obj5 get PositionX(int32:0) -> double:10 (5 µs)",
                                  "12:00:00.000065 obj3 put Selected(true) -> empty (5 µs)",
                                  "12:00:00.000075 obj5 get Net() -> obj6 (5 µs)",
                                  "12:00:00.000085 obj6 get NetClass() -> obj7 (5 µs)",
                              }));
}

TEST(CallTrace, FailuresShowNumberDescriptionAndStatusAndStillReachTheCaller) {
    struct Case {
        std::function<void()> fail;
        std::string line;
    };
    const Case cases[] = {
        {[] { throw host::Failure::memberNotSupported(u"Frobnicate"); },
         "obj1 call Frobnicate() failed: 438 \"对象不支持该属性或方法: Frobnicate\" (5 µs)"},
        {[] {
             host::Failure gone(-2147023174, u"RPC 服务器不可用");
             gone.setHresult(-2147023174);
             throw gone;
         },
         "obj1 call Frobnicate() failed: -2147023174 \"RPC 服务器不可用\" HRESULT 0x800706BA (5 "
         "µs)"},
        {[] { throw std::bad_alloc(); }, "obj1 call Frobnicate() failed: std::bad_alloc (5 µs)"},
        {[] { throw 7; }, "obj1 call Frobnicate() failed: unknown exception (5 µs)"},
    };
    for (const auto& c : cases) {
        TracedDesign traced;
        traced.host.log->beforeCall = [&](const host::RecordedCall&) { c.fail(); };
        EXPECT_ANY_THROW(traced.document().call(u"Frobnicate"));
        EXPECT_EQ(traced.lines(), std::vector<std::string>({"12:00:00.000005 " + c.line}));
    }
}

TEST(CallTrace, EnumerationShowsEveryMemberFetchAndTheEnd) {
    TracedDesign traced;
    std::vector<std::u16string> names;
    traced.document().components().forEach(
        [&](const host::ObjectRef& c) { names.push_back(host::HostComponent(c).name()); });
    EXPECT_ANY_THROW(host::HostCollection(traced.document().object()).forEach({}));

    EXPECT_EQ(names, std::vector<std::u16string>({u"U1", u"R1"}));
    EXPECT_EQ(traced.lines(), std::vector<std::string>({
                                  "12:00:00.000005 obj1 get Components() -> obj2 (5 µs)",
                                  "12:00:00.000015 obj2 enumerate -> enum1 (5 µs)",
                                  "12:00:00.000025 enum1 next -> obj3 (5 µs)",
                                  "12:00:00.000035 obj3 get Name() -> \"U1\" (5 µs)",
                                  "12:00:00.000045 enum1 next -> obj4 (5 µs)",
                                  "12:00:00.000055 obj4 get Name() -> \"R1\" (5 µs)",
                                  "12:00:00.000065 enum1 next -> end (5 µs)",
                                  "12:00:00.000075 obj5 enumerate failed: 438 "
                                  "\"对象不支持该属性或方法: _NewEnum\" (5 µs)",
                              }));
}

TEST(CallTrace, TextsStayOnOneLineAndLongOnesAreShortened) {
    struct Case {
        std::u16string text;
        std::string shown;
    };
    const std::u16string forty(40, u'n');
    const Case cases[] = {
        {u"GND", "\"GND\""},
        {u"", "\"\""},
        {u"a \"b\"\\\n\tc", "\"a \\\"b\\\"\\\\\\x0a\\x09c\""},
        {forty, "\"" + std::string(40, 'n') + "\""},
        {forty + u"x", "\"" + std::string(40, 'n') + "\"…"},
        {std::u16string(39, u'n') + u"😀x", "\"" + std::string(39, 'n') + "😀\"…"},
        {std::u16string(50, u'网'), "\"" + host::toUtf8(std::u16string(40, u'网')) + "\"…"},
    };
    for (const auto& c : cases) {
        TracedDesign traced;
        EXPECT_THROW(traced.document().call(u"Find", {c.text}), host::Failure);
        const auto lines = traced.lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].substr(0, lines[0].find(" failed")),
                  "12:00:00.000005 obj1 call Find(" + c.shown + ")");
    }
}

TEST(CallTrace, AttachIsTracedWithWhatItReturned) {
    TracedDesign traced;
    auto attach = host::traceAttach(
        [&] { return host::HostApplication(host::memory::makeApplication(traced.host.design)); },
        traced.trace);
    attach().activeDocument();
    auto refused = host::traceAttach(
        []() -> host::HostApplication { throw host::Failure(429, u"ActiveX 部件不能创建对象"); },
        traced.trace);
    EXPECT_THROW(refused(), host::Failure);

    EXPECT_EQ(traced.lines(),
              std::vector<std::string>({
                  "12:00:00.000005 attach -> obj1 (5 µs)",
                  "12:00:00.000015 obj1 get ActiveDocument() -> obj2 (5 µs)",
                  "12:00:00.000025 attach failed: 429 \"ActiveX 部件不能创建对象\" (5 µs)",
              }));
}

// A trace that cannot be written any more costs the run nothing but the trace.
TEST(CallTrace, CallsGoOnWhenTheTraceCannotBeWritten) {
    auto closed = std::make_unique<std::ofstream>();
    closed->exceptions(std::ios::badbit | std::ios::failbit);
    test::TestHost host;
    auto trace = host::traceInto(
        std::move(closed), [] { return 0us; }, 0us);
    host::HostDocument document(host::traceCalls(host.document.object(), trace));
    EXPECT_EQ(host::HostComponent(document.components().item(1)).name(), u"U1");
}

// Each line is in the file as soon as its call is over: a crash later keeps it.
TEST(CallTrace, FileStartsWithMarkAndDateAndHoldsEachLineAtOnce) {
    const auto file = std::filesystem::path(testing::TempDir()) / "tagwright-trace-test.txt";
    test::TestHost host;
    {
        host::HostDocument document(
            host::traceCalls(host.document.object(), host::openTraceFile(file)));
        document.unit();

        std::ifstream in(file, std::ios::binary);
        std::string header, columns, call;
        std::getline(in, header);
        std::getline(in, columns);
        std::getline(in, call);
        EXPECT_TRUE(header.starts_with("\xEF\xBB\xBF# Tagwright trace, started 2")) << header;
        EXPECT_NE(call.find(" obj1 get Unit() -> int32:2 ("), std::string::npos) << call;
    }
    // Windows removes no file that is still open.
    std::filesystem::remove(file);

    EXPECT_THROW(host::openTraceFile(file / "no" / "such" / "folder"), std::system_error);
}

} // namespace
