#include "support/FailureOf.h"
#include "support/TestDesign.h"

#include "host/EditorWait.h"
#include "host/Failure.h"
#include "host/Text.h"
#include "host/com/ComAttach.h"
#include "host/com/LinkThread.h"
#include "host/memory/BoardGenerator.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "labels/AddLabels.h"
#include "maintenance/Locate.h"
#include "standin-com/ActiveObjectRegistration.h"
#include "standin-com/ServerProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

using namespace tagwright;
using host::Failure;
using host::HostDocument;
using host::memory::Design;

namespace {

// Across processes also from a server whose descriptions leave open what members hand out, so
// the client asks every object its type, and from one whose objects do not describe their type
// at all, so the client learns member ids object by object.
enum class Serving { InProcess, OtherProcess, OtherProcessUntypedReturns, OtherProcessUntyped };

void PrintTo(Serving serving, std::ostream* os) {
    constexpr const char* names[] = {"InProcess", "OtherProcess", "OtherProcessUntypedReturns",
                                     "OtherProcessUntyped"};
    *os << names[static_cast<int>(serving)];
}

// A design served as the running editor: from this process, where calls arrive directly and
// `log` sees them as the server got them, or by the server program, so that every call
// crosses processes through the system's proxies.
class ServedEditor {
  public:
    explicit ServedEditor(const Design& design) : design_(std::make_shared<Design>(design)) {
        registration_.emplace(host::recordCalls(host::memory::makeApplication(design_), log),
                              host::com::testServerClsid, host::com::ServingOptions{},
                              host::com::testProgIdClass());
    }
    ServedEditor(const Design& design, const host::com::ServerOptions& options) {
        process_.emplace(design, options);
    }
    // Ends serving and hands back the design as the editor holds it by then.
    Design finish() {
        if (process_) {
            return process_->finish();
        }
        registration_.reset();
        return *design_;
    }

    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();

  private:
    std::shared_ptr<Design> design_;
    std::optional<host::com::ActiveObjectRegistration> registration_;
    std::optional<host::com::ServerProcess> process_;
};

host::HostApplication attachTestEditor() {
    return host::com::attachRunningObject(host::com::testServerProgId);
}

Design smallDesign() {
    Design design = host::memory::parseDesign(test::smallBoard, "small board");
    design.layers.push_back(u"丝印层"); // text beyond ASCII crosses as BSTR
    return design;
}

run::ShowMessage collect(std::vector<std::u16string>& shown) {
    return [&shown](const std::u16string& text, const std::u16string&) { shown.push_back(text); };
}

std::vector<std::u16string> namesOf(const host::HostCollection& collection) {
    std::vector<std::u16string> names;
    collection.forEach([&](const host::ObjectRef& member) {
        names.push_back(host::HostComponent(member).name());
    });
    return names;
}

class ComLink : public testing::TestWithParam<Serving> {
  protected:
    ServedEditor serve(const Design& design) {
        if (GetParam() == Serving::InProcess) {
            return ServedEditor(design);
        }
        host::com::ServerOptions options;
        options.typeInfo = GetParam() != Serving::OtherProcessUntyped;
        options.typedReturns = GetParam() == Serving::OtherProcess;
        return ServedEditor(design, options);
    }
};

// Every collection in the editor's order; the generated board has more components than one
// enumeration batch brings, so that walk crosses batch boundaries.
TEST_P(ComLink, ListsEveryCollectionInHostOrder) {
    {
        auto editor = serve(smallDesign());
        HostDocument document = attachTestEditor().activeDocument();
        EXPECT_EQ(namesOf(document.components()), (std::vector<std::u16string>{u"U1", u"R1"}));
        EXPECT_EQ(namesOf(document.nets()), (std::vector<std::u16string>{u"GND", u"SDA", u"NC1"}));
        EXPECT_EQ(namesOf(document.netClasses()),
                  (std::vector<std::u16string>{u"POWER", u"SIGNAL"}));
        EXPECT_EQ(document.layerCount(), 4);
        EXPECT_EQ(document.layerName(4), u"丝印层");
        EXPECT_EQ(document.unit(), 2);
    }
    const Design large = host::memory::generateBoard({.components = 150});
    auto editor = serve(large);
    std::vector<std::u16string> expected;
    for (const auto& component : large.components) {
        expected.push_back(component.name);
    }
    EXPECT_EQ(namesOf(attachTestEditor().activeDocument().components()), expected);
}

TEST_P(ComLink, AddLabelsPlacesWhatTheInMemoryRunPlaces) {
    for (std::int16_t type : {run::NetNameLabel, run::PinNumberLabel, run::NetClassLabel}) {
        SCOPED_TRACE(type);
        const run::LabelRequest request{.labelType = type,
                                        .offsetX = u"5",
                                        .offsetY = u"-3",
                                        .fontHeight = u"15",
                                        .fontWidth = u"1",
                                        .rotation = u"90",
                                        .unusedPins = true,
                                        .vias = true,
                                        .components = {{u"U1"}, {u"R1"}},
                                        .nets = {{u"GND"}, {u"SDA"}, {u"NC1"}},
                                        .netClasses = {{u"POWER"}, {u"SIGNAL"}},
                                        .layerIndex = 3};
        test::TestHost reference(smallDesign());
        std::vector<std::u16string> expectedMessages, messages;
        labels::ComponentMask referenceMask, mask;
        labels::addLabels(reference.document, request, referenceMask, collect(expectedMessages));

        auto editor = serve(smallDesign());
        labels::addLabels(attachTestEditor().activeDocument(), request, mask, collect(messages));
        Design served = editor.finish();

        EXPECT_EQ(messages, expectedMessages);
        EXPECT_GT(served.texts.size(), smallDesign().texts.size());
        EXPECT_EQ(host::memory::serializeDesign(served),
                  host::memory::serializeDesign(*reference.design));
        if (GetParam() == Serving::InProcess) {
            // Same members, kinds and argument types (the layer as a 16-bit integer) as sent,
            // after the attach's ActiveDocument.
            const auto& calls = editor.log->calls;
            ASSERT_EQ(calls.size(), reference.log->calls.size() + 1);
            for (std::size_t i = 0; i < reference.log->calls.size(); ++i) {
                EXPECT_EQ(calls[i + 1].member, reference.log->calls[i].member) << i;
                EXPECT_EQ(calls[i + 1].kind, reference.log->calls[i].kind) << i;
                EXPECT_EQ(calls[i + 1].args, reference.log->calls[i].args) << i;
            }
        }
    }
}

TEST_P(ComLink, LocateSelectsTheChosenEntriesInTheEditor) {
    Design design = smallDesign();
    design.nets[0].selected = true;
    auto editor = serve(design);
    maintenance::locate(attachTestEditor().activeDocument(), maintenance::LocateTarget::Nets,
                        {{u"GND", false}, {u"SDA", true}, {u"NC1", true}}, nullptr);
    Design served = editor.finish();

    EXPECT_FALSE(served.nets[0].selected);
    EXPECT_TRUE(served.nets[1].selected);
    EXPECT_TRUE(served.nets[2].selected);
    if (GetParam() == Serving::InProcess) {
        EXPECT_EQ(served.showSelectionCalls, 1u);
    }
}

// Every failure reaches the client with the number and description the editor raised, whichever
// way COM carries it (an exception, an unknown name, a member the object lacks, a bad argument).
TEST_P(ComLink, HostFailuresKeepTheirNumberAndDescription) {
    using Call = std::function<void(const HostDocument&)>;
    auto firstPin = [](const HostDocument& d) {
        return host::HostRole(host::HostComponent(d.components().item(1)).pins().item(1));
    };
    const std::pair<const char*, Call> cases[] = {
        {"editor's own error", [](auto& d) { d.components().item(u"NoSuch"); }},
        {"index out of range", [](auto& d) { d.nets().item(99); }},
        {"name no object has", [](auto& d) { d.get(u"Bogus"); }},
        {"member of another kind", [&](auto& d) { firstPin(d).get(u"Count"); }},
        {"argument of the wrong type", [&](auto& d) { firstPin(d).get(u"PositionX", {u"x"}); }},
        {"write to a read-only property",
         [](auto& d) { host::HostRole(d.components().item(1)).put(u"Name", u"X"); }},
        {"wrong argument count", [](auto& d) { d.components().get(u"Item"); }},
        {"no view method of that name", [](auto& d) { d.view().call(u"ZoomAll"); }},
    };
    auto editor = serve(smallDesign());
    HostDocument document = attachTestEditor().activeDocument();
    for (const auto& [what, call] : cases) {
        SCOPED_TRACE(what);
        std::optional<Failure> expected = test::failureOf([&] { call(test::TestHost().document); });
        ASSERT_TRUE(expected.has_value());
        std::optional<Failure> actual = test::failureOf([&] { call(document); });
        ASSERT_TRUE(actual.has_value());
        EXPECT_EQ(actual->number(), expected->number());
        EXPECT_EQ(actual->description(), expected->description());
    }
}

INSTANTIATE_TEST_SUITE_P(Serving, ComLink,
                         testing::Values(Serving::InProcess, Serving::OtherProcess,
                                         Serving::OtherProcessUntypedReturns,
                                         Serving::OtherProcessUntyped),
                         testing::PrintToStringParamName());

TEST(ComAttach, FailsWhenNoEditorIsRunning) {
    auto numberOf = [](std::u16string_view progId) {
        const auto failure = test::failureOf([&] { host::com::attachRunningObject(progId); });
        EXPECT_TRUE(failure && !failure->description().empty());
        return failure ? failure->number() : 0;
    };
    EXPECT_EQ(numberOf(u"Tagwright.NeverInstalled"), static_cast<std::int32_t>(CO_E_CLASSSTRING));
    // Known to this program, but not running: attaching must not start it.
    EXPECT_EQ(numberOf(host::com::testServerProgId), static_cast<std::int32_t>(MK_E_UNAVAILABLE));
}

TEST(ComLinkOtherProcess, AnEditorThatDiesMidRunFailsTheNextCallWithoutHanging) {
    const Design design = host::memory::generateBoard({.components = 20});
    host::com::ServerProcess editor(design);
    auto log = std::make_shared<host::CallLog>();
    HostDocument document(host::recordCalls(attachTestEditor().activeDocument().object(), log));
    log->beforeCall = [&](const host::RecordedCall&) {
        if (log->calls.size() == 50) {
            editor.kill();
        }
    };
    run::LabelRequest request;
    request.fontHeight = u"15";
    request.fontWidth = u"1";
    request.rotation = u"00";
    for (const auto& component : design.components) {
        request.components.push_back({component.name});
    }

    auto start = std::chrono::steady_clock::now();
    labels::ComponentMask mask;
    const auto failure =
        test::failureOf([&] { labels::addLabels(document, request, mask, nullptr); });
    ASSERT_TRUE(failure) << "the run went on after the editor died";
    // As a scripting client reports it, and as the Linux link does.
    EXPECT_EQ(failure->number(), Failure::EditorUnavailable);
    EXPECT_EQ(failure->description(), u"远程服务器机器不存在或不可用");
    EXPECT_EQ(log->calls.size(), 50u);
    // The link is dead: nothing more goes out, every call fails at once the same way.
    EXPECT_EQ(test::failureNumber([&] { document.unit(); }), Failure::EditorUnavailable);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// Out of process every call is a round trip. Where the descriptions declare what a collection
// holds, a list entry costs its Name and nothing else; where they leave it open, the client
// asks each member its type, since siblings of different types must not share member ids.
TEST(ComLinkOtherProcess, AListEntryCostsOneCallWhereTheTypesAreDeclared) {
    struct Case {
        const char* what;
        bool typeInfo, typedReturns;
        double atLeast, atMost; // calls per entry
        unsigned long long typeQueriesAtMost;
    };
    const Case cases[] = {
        {"declared", true, true, 1.0, 1.2, 20},
        {"left open", true, false, 1.9, 2.2, 100000},
        {"no descriptions", false, false, 1.9, 2.2, 100000},
    };
    const Design design = host::memory::generateBoard({.components = 150, .nets = 300});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::com::ServerOptions options;
        options.typeInfo = c.typeInfo;
        options.typedReturns = c.typedReturns;
        options.stats = true;
        host::com::ServerProcess server(design, options);
        std::size_t entries = 0;
        {
            // Filling the window's lists, as the window does it: every member's name.
            HostDocument document = attachTestEditor().activeDocument();
            entries = namesOf(document.components()).size() + namesOf(document.nets()).size() +
                      namesOf(document.netClasses()).size();
        }
        server.finish();
        unsigned long long invokes = 0, typeQueries = 0, lookups = 0, batches = 0;
        ASSERT_EQ(std::sscanf(server.statsLine().c_str(),
                              "served: invoke=%llu gettypeinfo=%llu getidsofnames=%llu next=%llu",
                              &invokes, &typeQueries, &lookups, &batches),
                  4)
            << server.statsLine();
        const double perEntry = static_cast<double>(invokes + typeQueries + lookups + batches) /
                                static_cast<double>(entries);
        EXPECT_GE(perEntry, c.atLeast) << server.statsLine();
        EXPECT_LE(perEntry, c.atMost) << server.statsLine();
        EXPECT_LE(typeQueries, c.typeQueriesAtMost) << server.statsLine();
    }
}

// Watches the calls of a run the way the window does while it lives, when the user is to stop
// waiting after `stopAfter`; without, nothing watches.
struct StoppingWatcher : host::EditorWaitWatcher {
    std::chrono::milliseconds stopAfter;
    std::vector<host::EditorWaitReason> heard;
    std::optional<host::EditorWaitScope> watching;
    explicit StoppingWatcher(std::optional<std::chrono::milliseconds> stopAfter)
        : stopAfter(stopAfter.value_or(std::chrono::milliseconds(0))) {
        if (stopAfter) {
            watching.emplace(*this);
        }
    }
    bool editorWaiting(host::EditorWaitReason reason, std::chrono::milliseconds waited,
                       std::chrono::milliseconds) override {
        heard.push_back(reason);
        return waited < stopAfter;
    }
};

// An editor that took a call and never answers: the call fails by itself after the link's
// limit, or at once when the run's watcher stops waiting; either way with 462, and the link is
// dead from then on, so a run does not wait the limit again at every call. The program's link
// makes its calls from a thread of its own, which is left behind in the hung call.
TEST(ComLinkOtherProcess, AnEditorThatDoesNotAnswerFailsWith462AndEndsTheLink) {
    using std::chrono::milliseconds;
    using Clock = std::chrono::steady_clock;
    struct Case {
        const char* what;
        milliseconds limit;
        std::optional<milliseconds> userStopsAfter;
    };
    const Case cases[] = {
        {"the limit", milliseconds(1500), std::nullopt},
        {"the user", milliseconds(60000), milliseconds(300)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::com::ServerOptions options;
        options.hangAfter = 12;
        host::com::ServerProcess server(smallDesign(), options);
        StoppingWatcher watcher(c.userStopsAfter);
        HostDocument document = host::com::attachOnLinkThread(host::com::testServerProgId,
                                                              host::com::BusyEditorWait(), c.limit)
                                    .activeDocument();
        const auto start = Clock::now();
        const auto failure = test::failureOf([&] {
            for (int i = 0; i < 100; ++i) {
                document.unit();
            }
        });
        ASSERT_TRUE(failure) << "the hung editor answered";
        EXPECT_EQ(failure->number(), Failure::EditorUnavailable);
        EXPECT_NE(failure->description().find(u"没有响应"), std::u16string::npos)
            << host::toUtf8(failure->description());
        const auto waited = Clock::now() - start;
        EXPECT_LT(waited, c.userStopsAfter.value_or(c.limit) + milliseconds(3000));
        EXPECT_GE(waited, c.userStopsAfter.value_or(c.limit) - milliseconds(100));
        if (c.userStopsAfter) {
            ASSERT_FALSE(watcher.heard.empty()) << "the watcher never heard of the wait";
            EXPECT_EQ(watcher.heard.back(), host::EditorWaitReason::NotAnswering);
        }
        const auto again = Clock::now();
        EXPECT_EQ(test::failureNumber([&] { document.layerCount(); }), Failure::EditorUnavailable)
            << "a call went out on a dead link";
        EXPECT_LT(Clock::now() - again, milliseconds(200));
        server.kill();
    }
}

// An editor with a modal dialog rejects calls; the client asks again until it answers, and
// gives up with a message that says what to do when it does not. Meanwhile the run's watcher
// hears why nothing moves, and the user can stop long before the patience runs out.
TEST(ComLinkOtherProcess, ABusyEditorIsAskedAgainUntilItAnswers) {
    using std::chrono::milliseconds;
    struct Case {
        const char* what;
        int rejectedCalls;
        milliseconds patience;
        std::optional<milliseconds> userStopsAfter;
    };
    const Case cases[] = {
        {"answers at the fourth try", 3, milliseconds(500), std::nullopt},
        {"stays busy", -1, milliseconds(500), std::nullopt},
        {"the user stops waiting", -1, milliseconds(30000), milliseconds(300)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::com::ServerOptions options;
        options.rejectedCalls = c.rejectedCalls;
        host::com::ServerProcess editor(smallDesign(), options);
        StoppingWatcher watcher(c.userStopsAfter);
        const auto start = std::chrono::steady_clock::now();
        const auto failure = test::failureOf([&] {
            // The user stops a call made from the link thread, as the program makes them.
            const host::com::BusyEditorWait wait(c.patience);
            const auto id = host::com::testServerProgId;
            auto application = c.userStopsAfter ? host::com::attachOnLinkThread(id, wait)
                                                : host::com::attachRunningObject(id, wait);
            EXPECT_EQ(namesOf(application.activeDocument().components()),
                      (std::vector<std::u16string>{u"U1", u"R1"}));
        });
        if (c.rejectedCalls >= 0) {
            EXPECT_FALSE(failure) << host::toUtf8(failure->description());
            continue;
        }
        ASSERT_TRUE(failure && failure->isEditorBusy());
        EXPECT_EQ(failure->number(), static_cast<std::int32_t>(RPC_E_CALL_REJECTED));
        EXPECT_EQ(failure->description(), u"编辑器正忙，请关闭其对话框后重试");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        if (c.userStopsAfter) {
            ASSERT_FALSE(watcher.heard.empty());
            EXPECT_EQ(watcher.heard.back(), host::EditorWaitReason::Busy);
        }
    }
}

// The fill-in's address means nothing outside the server's process: calling it there crashed
// the client. The number must still arrive, with some description.
TEST(ComLinkFailures, ADeferredDescriptionIsFilledInOnlyInTheServersProcess) {
    host::com::ServerOptions options;
    options.deferredFillIn = true;
    host::com::ServerProcess editor(smallDesign(), options);
    const auto failure =
        test::failureOf([] { attachTestEditor().activeDocument().components().item(u"NoSuch"); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number(), Failure::AutomationError);
    EXPECT_FALSE(failure->description().empty());
}

} // namespace
