#include "ServedEditor.h"
#include "support/FailureOf.h"
#include "support/TestDesign.h"

#include "host/Attach.h"
#include "host/EditorWait.h"
#include "host/Failure.h"
#include "host/Text.h"
#include "host/com/ComAttach.h"
#include "host/com/LinkThread.h"
#include "host/memory/BoardGenerator.h"
#include "labels/AddLabels.h"
#include "maintenance/Locate.h"
#include "maintenance/RemoveLabels.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

using namespace tagwright;
using host::Failure;
using host::HostDocument;
using host::Value;
using host::memory::Design;

namespace {

// Across processes also from a server whose descriptions leave open what members hand out, so
// the client asks every object its type, and from one whose objects do not describe their type
// at all, so the client learns member ids object by object.
enum class Serving { InProcess, OtherProcess, OtherProcessUntypedReturns, OtherProcessUntyped };

const char* nameOf(Serving serving) {
    constexpr const char* names[] = {"InProcess", "OtherProcess", "OtherProcessUntypedReturns",
                                     "OtherProcessUntyped"};
    return names[static_cast<int>(serving)];
}
void PrintTo(Serving serving, std::ostream* os) {
    *os << nameOf(serving);
}
std::string servingName(const testing::TestParamInfo<Serving>& info) {
    return nameOf(info.param);
}

Design smallDesign() {
    Design design = host::memory::parseDesign(test::smallBoard, "small board");
    design.layers.push_back(u"丝印层"); // text beyond ASCII crosses as BSTR
    return design;
}

struct Messages {
    std::vector<std::u16string> shown;
    run::ShowMessage callback() {
        return [this](const std::u16string& text, const std::u16string&) { shown.push_back(text); };
    }
};

// The same work done directly on the in-memory editor, for the COM run to be compared with.
struct Reference {
    std::shared_ptr<Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    HostDocument document;
    explicit Reference(Design d)
        : design(std::make_shared<Design>(std::move(d))),
          document(
              host::HostApplication(host::recordCalls(host::memory::makeApplication(design), log))
                  .activeDocument()) {}
};

using TextFields =
    std::tuple<std::u16string, std::int32_t, double, double, double, double, double, bool>;
std::vector<TextFields> textsOf(const Design& design) {
    std::vector<TextFields> out;
    for (const auto& t : design.texts) {
        if (!t->deleted) {
            out.emplace_back(t->text, t->layer, t->x, t->y, t->height, t->lineWidth, t->rotation,
                             t->locked);
        }
    }
    return out;
}

std::vector<std::u16string> namesOf(const host::HostCollection& collection) {
    std::vector<std::u16string> names;
    collection.forEach([&](const host::ObjectRef& member) {
        names.push_back(host::HostComponent(member).name());
    });
    return names;
}

// Filling the window's lists, as the window does it: every member's name, in three walks.
std::size_t fillLists(const HostDocument& document) {
    return namesOf(document.components()).size() + namesOf(document.nets()).size() +
           namesOf(document.netClasses()).size();
}

class ComLink : public testing::TestWithParam<Serving> {
  protected:
    std::unique_ptr<test::ServedEditor> serve(const Design& design) {
        if (GetParam() == Serving::InProcess) {
            auto editor = std::make_unique<test::InProcessEditor>(design);
            inProcess_ = editor.get();
            return editor;
        }
        host::com::ServerOptions options;
        options.typeInfo = GetParam() != Serving::OtherProcessUntyped;
        options.typedReturns = GetParam() == Serving::OtherProcess;
        return std::make_unique<test::EditorProcess>(design, options);
    }
    // The server's own record of the calls it received, where the test can see it.
    host::CallLog* serverLog() const { return inProcess_ ? inProcess_->log.get() : nullptr; }

  private:
    test::InProcessEditor* inProcess_ = nullptr;
};

// Every collection in the editor's order; the generated board has more components than one
// enumeration batch brings, so that walk crosses batch boundaries.
TEST_P(ComLink, ListsEveryCollectionInHostOrder) {
    const Design design = smallDesign();
    {
        auto editor = serve(design);
        HostDocument document = test::attachTestEditor().activeDocument();
        EXPECT_EQ(namesOf(document.components()), (std::vector<std::u16string>{u"U1", u"R1"}));
        EXPECT_EQ(namesOf(document.nets()), (std::vector<std::u16string>{u"GND", u"SDA", u"NC1"}));
        EXPECT_EQ(namesOf(document.netClasses()),
                  (std::vector<std::u16string>{u"POWER", u"SIGNAL"}));
        ASSERT_EQ(document.layerCount(), 4);
        for (std::int32_t layer = 1; layer <= 4; ++layer) {
            EXPECT_EQ(document.layerName(layer), design.layers[layer - 1]);
        }
        EXPECT_EQ(document.unit(), 2);
    }
    const Design large = host::memory::generateBoard({.components = 150});
    auto editor = serve(large);
    std::vector<std::u16string> expected;
    for (const auto& component : large.components) {
        expected.push_back(component.name);
    }
    EXPECT_EQ(namesOf(test::attachTestEditor().activeDocument().components()), expected);
}

TEST_P(ComLink, AddLabelsPlacesWhatTheInMemoryRunPlaces) {
    for (std::int16_t type : {run::NetNameLabel, run::PinNumberLabel, run::NetClassLabel}) {
        SCOPED_TRACE(type);
        run::LabelRequest request;
        request.labelType = type;
        request.offsetX = u"5";
        request.offsetY = u"-3";
        request.fontHeight = u"15";
        request.fontWidth = u"1";
        request.rotation = u"90";
        request.unusedPins = true;
        request.vias = true;
        request.components = {{u"U1"}, {u"R1"}};
        request.nets = {{u"GND"}, {u"SDA"}, {u"NC1"}};
        request.netClasses = {{u"POWER"}, {u"SIGNAL"}};
        request.layerIndex = 3;

        Reference reference(smallDesign());
        Messages expectedMessages;
        labels::ComponentMask referenceMask;
        labels::addLabels(reference.document, request, referenceMask, expectedMessages.callback());

        auto editor = serve(smallDesign());
        Messages messages;
        labels::ComponentMask mask;
        labels::addLabels(test::attachTestEditor().activeDocument(), request, mask,
                          messages.callback());
        Design served = editor->finish();

        EXPECT_EQ(messages.shown, expectedMessages.shown);
        EXPECT_GT(served.texts.size(), smallDesign().texts.size());
        EXPECT_EQ(textsOf(served), textsOf(*reference.design));
        if (host::CallLog* log = serverLog()) {
            // Same members, kinds and argument types (the layer as a 16-bit integer) as sent.
            ASSERT_EQ(log->calls.size(), reference.log->calls.size());
            for (std::size_t i = 0; i < log->calls.size(); ++i) {
                EXPECT_EQ(log->calls[i].member, reference.log->calls[i].member) << i;
                EXPECT_EQ(log->calls[i].kind, reference.log->calls[i].kind) << i;
                EXPECT_EQ(log->calls[i].args, reference.log->calls[i].args) << i;
            }
        }
    }
}

TEST_P(ComLink, RemovalGoesOnPastATextTheEditorRefusesToDelete) {
    Design design = smallDesign();
    auto locked = std::make_shared<host::memory::TextData>();
    locked->text = u"{LOCKED}";
    locked->locked = true;
    design.texts.insert(design.texts.begin(), locked);
    auto later = std::make_shared<host::memory::TextData>();
    later->text = u"{GND}";
    design.texts.push_back(later);

    auto editor = serve(design);
    Messages messages;
    maintenance::removeLabels(test::attachTestEditor().activeDocument(), u"网络名称",
                              messages.callback());
    Design served = editor->finish();

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(u"{LOCKED}"), std::u16string::npos);
    std::vector<std::u16string> left;
    for (const auto& t : served.texts) {
        if (!t->deleted) {
            left.push_back(t->text);
        }
    }
    EXPECT_EQ(left, (std::vector<std::u16string>{u"{LOCKED}", u"keep"}));
}

TEST_P(ComLink, LocateSelectsTheChosenEntriesInTheEditor) {
    Design design = smallDesign();
    design.nets[0].selected = true;
    auto editor = serve(design);
    maintenance::locate(test::attachTestEditor().activeDocument(), maintenance::LocateTarget::Nets,
                        {{u"GND", false}, {u"SDA", true}, {u"NC1", true}}, nullptr);
    Design served = editor->finish();

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
        return d.components().item(1).get()->invoke(u"Pins", host::CallKind::Get, {});
    };
    const std::pair<const char*, Call> cases[] = {
        {"editor's own error", [](auto& d) { d.components().item(u"NoSuch"); }},
        {"index out of range", [](auto& d) { d.nets().item(99); }},
        {"name no object has", [](auto& d) { d.get(u"Bogus"); }},
        {"member of another kind",
         [&](auto& d) {
             host::HostCollection pins(firstPin(d).toObject());
             host::HostRole(pins.item(1)).get(u"Count");
         }},
        {"argument of the wrong type",
         [&](auto& d) {
             host::HostCollection pins(firstPin(d).toObject());
             host::HostRole(pins.item(1)).get(u"PositionX", {u"x"});
         }},
        {"write to a read-only property",
         [](auto& d) { host::HostRole(d.components().item(1)).put(u"Name", u"X"); }},
        {"wrong argument count", [](auto& d) { d.components().get(u"Item"); }},
        {"no view method of that name", [](auto& d) { d.view().call(u"ZoomAll"); }},
    };
    auto editor = serve(smallDesign());
    HostDocument document = test::attachTestEditor().activeDocument();
    for (const auto& [what, call] : cases) {
        SCOPED_TRACE(what);
        Reference reference(smallDesign());
        std::optional<Failure> expected = test::failureOf([&] { call(reference.document); });
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
                         servingName);

TEST(ComLinkInProcess, AnEditorWithoutADesignFailsAtTheDocument) {
    host::com::ActiveObjectRegistration registration(host::memory::makeApplication(nullptr),
                                                     host::com::testServerClsid, {},
                                                     host::com::testProgIdClass());
    host::HostApplication application = test::attachTestEditor();
    EXPECT_THROW(application.activeDocument().unit(), Failure);
}

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
    host::memory::BoardShape shape;
    shape.components = 20;
    test::EditorProcess editor(host::memory::generateBoard(shape));
    auto log = std::make_shared<host::CallLog>();
    HostDocument document(
        host::recordCalls(test::attachTestEditor().activeDocument().object(), log));
    log->beforeCall = [&](const host::RecordedCall&) {
        if (log->calls.size() == 50) {
            editor.kill();
        }
    };
    run::LabelRequest request;
    request.fontHeight = u"15";
    request.fontWidth = u"1";
    request.rotation = u"00";
    for (const auto& component : host::memory::generateBoard(shape).components) {
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

// Calls of each kind the server counted, from its "served:" line.
std::map<std::string, std::size_t> servedCalls(const std::string& line) {
    std::map<std::string, std::size_t> calls;
    std::istringstream words(line);
    for (std::string word; words >> word;) {
        if (auto equals = word.find('='); equals != std::string::npos) {
            calls[word.substr(0, equals)] = std::stoull(word.substr(equals + 1));
        }
    }
    return calls;
}

// Out of process every call is a round trip. Where the descriptions declare what a collection
// holds, a list entry costs its Name and nothing else; where they leave it open, the client
// asks each member its type, since siblings of different types must not share member ids.
TEST(ComLinkOtherProcess, AListEntryCostsOneCallWhereTheTypesAreDeclared) {
    struct Case {
        const char* what;
        bool typeInfo, typedReturns;
        double atLeast, atMost; // calls per entry
        std::size_t typeQueriesAtMost;
    };
    const Case cases[] = {
        {"declared", true, true, 1.0, 1.2, 20},
        {"left open", true, false, 1.9, 2.2, 100000},
        {"no descriptions", false, false, 1.9, 2.2, 100000},
    };
    host::memory::BoardShape shape;
    shape.components = 150;
    shape.nets = 300;
    const Design design = host::memory::generateBoard(shape);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::com::ServerOptions options;
        options.typeInfo = c.typeInfo;
        options.typedReturns = c.typedReturns;
        options.stats = true;
        host::com::ServerProcess server(design, options);
        std::size_t entries = 0;
        {
            HostDocument document = test::attachTestEditor().activeDocument();
            entries = fillLists(document);
        }
        server.finish();
        const auto calls = servedCalls(server.statsLine());
        ASSERT_EQ(calls.size(), 4u) << server.statsLine();
        std::size_t total = 0;
        for (const auto& [kind, count] : calls) {
            total += count;
        }
        const double perEntry = static_cast<double>(total) / static_cast<double>(entries);
        EXPECT_GE(perEntry, c.atLeast) << server.statsLine();
        EXPECT_LE(perEntry, c.atMost) << server.statsLine();
        EXPECT_LE(calls.at("gettypeinfo"), c.typeQueriesAtMost) << server.statsLine();
    }
}

// Watches the calls of a run the way the window does, and stops waiting when told to.
struct StoppingWatcher : host::EditorWaitWatcher {
    std::chrono::milliseconds stopAfter;
    std::vector<host::EditorWaitReason> heard;
    explicit StoppingWatcher(std::chrono::milliseconds stopAfter) : stopAfter(stopAfter) {}
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
        StoppingWatcher watcher(c.userStopsAfter.value_or(milliseconds(3600000)));
        std::optional<host::EditorWaitScope> watching;
        if (c.userStopsAfter) {
            watching.emplace(watcher);
        }
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
// gives up with a message that says what to do when it does not.
TEST(ComLinkOtherProcess, ABusyEditorIsAskedAgainUntilItAnswers) {
    struct Case {
        int rejectedCalls;
        bool answers;
    };
    for (Case c : {Case{3, true}, Case{-1, false}}) {
        SCOPED_TRACE(c.rejectedCalls);
        host::com::ServerOptions options;
        options.rejectedCalls = c.rejectedCalls;
        test::EditorProcess editor(smallDesign(), options);
        try {
            auto application = host::com::attachRunningObject(
                host::com::testServerProgId,
                host::com::BusyEditorWait(std::chrono::milliseconds(500)));
            EXPECT_EQ(namesOf(application.activeDocument().components()),
                      (std::vector<std::u16string>{u"U1", u"R1"}));
            EXPECT_TRUE(c.answers);
        } catch (const Failure& failure) {
            EXPECT_FALSE(c.answers) << host::toUtf8(failure.description());
            EXPECT_EQ(failure.number(), static_cast<std::int32_t>(RPC_E_CALL_REJECTED));
            EXPECT_EQ(failure.description(), u"编辑器正忙，请关闭其对话框后重试");
        }
    }
}

// While a busy editor is asked again, the run's watcher hears why nothing moves, and the user
// can stop long before the patience runs out.
TEST(ComLinkOtherProcess, TheUserCanStopWaitingForABusyEditor) {
    host::com::ServerOptions options;
    options.rejectedCalls = -1;
    test::EditorProcess editor(smallDesign(), options);
    StoppingWatcher watcher(std::chrono::milliseconds(300));
    const host::EditorWaitScope watching(watcher);
    const auto start = std::chrono::steady_clock::now();
    const auto failure = test::failureOf([] {
        host::com::attachOnLinkThread(host::com::testServerProgId,
                                      host::com::BusyEditorWait(std::chrono::seconds(30)))
            .activeDocument();
    });
    EXPECT_TRUE(failure && failure->isEditorBusy());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_FALSE(watcher.heard.empty());
    EXPECT_EQ(watcher.heard.back(), host::EditorWaitReason::Busy);
}

// The fill-in's address means nothing outside the server's process: calling it there crashed
// the client. Across processes the number must still arrive, with some description.
TEST(ComLinkFailures, ADeferredDescriptionIsFilledInOnlyInTheServersProcess) {
    auto noSuchComponent = [](const HostDocument& document) {
        return test::failureOf([&] { document.components().item(u"NoSuch"); })
            .value_or(Failure(0, u"no failure"));
    };
    Reference reference(smallDesign());
    Failure expected = noSuchComponent(reference.document);
    for (bool inProcess : {true, false}) {
        SCOPED_TRACE(inProcess);
        std::unique_ptr<test::ServedEditor> editor;
        if (inProcess) {
            host::com::ServingOptions options;
            options.deferredFillIn = true;
            editor = std::make_unique<test::InProcessEditor>(smallDesign(), options);
        } else {
            host::com::ServerOptions options;
            options.deferredFillIn = true;
            editor = std::make_unique<test::EditorProcess>(smallDesign(), options);
        }
        Failure failure = noSuchComponent(test::attachTestEditor().activeDocument());
        EXPECT_EQ(failure.number(), expected.number());
        if (inProcess) {
            EXPECT_EQ(failure.description(), expected.description());
        } else {
            EXPECT_FALSE(failure.description().empty());
        }
    }
}

} // namespace
