// The window's behaviour over controls held in memory: no toolkit, so these run everywhere,
// under the sanitizers and on Windows too.
#include "host/Failure.h"
#include "maintenance/Locate.h"
#include "support/TestDesign.h"
#include "window/Version.h"
#include "window/support/FakeControls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <new>
#include <ranges>
#include <stdexcept>
#include <tuple>

using namespace tagwright;
using window::CheckBox;
using window::ListBox;
using window::TextBox;
using Messages = std::vector<test::FormMessage>;
using Texts = std::vector<std::u16string>;
using namespace std::chrono_literals;

namespace {

// The form over fake controls, attached to the small board.
struct Session : test::FormSession {
    explicit Session(bool load = true)
        : FormSession(host::memory::parseDesign(test::smallBoard, "test")) {
        EXPECT_TRUE(!load || form.Form_Load());
    }
    void tick(CheckBox box) { controls.box(box).ticked = true; }
    void select(ListBox list, int row) { controls.list(list).at(row).selected = true; }
    Messages takeMessages() { return std::exchange(controls.messages, {}); }
    // The design's live texts after the two it starts with.
    Texts addedTexts() const {
        Texts texts;
        for (const auto& text : design->texts | std::views::drop(2)) {
            if (!text->deleted) {
                texts.push_back(text->text);
            }
        }
        return texts;
    }
};

TEST(Form, LoadSetsTheStartStateAndRefreshKeepsIt) {
    Session s;
    EXPECT_EQ(s.controls.listTexts(ListBox::lstCompList), Texts({u"U1", u"R1"}));
    EXPECT_EQ(s.controls.listTexts(ListBox::lstNetList), Texts({u"GND", u"SDA", u"NC1"}));
    EXPECT_EQ(s.controls.listTexts(ListBox::lstNetClassList), Texts({u"POWER", u"SIGNAL"}));
    EXPECT_EQ(s.controls.layers, Texts({u"Top", u"Bottom", u"Silkscreen Top"}));
    EXPECT_EQ(s.log->count(u"Name"), 7u) << "one name read per member, nothing cached";
    EXPECT_EQ(s.controls.appendsOutsideFill, 0);
    // Label type, page in front, pages 1 and 2, layer, rotation, offset, a tick, the two
    // check boxes that follow the type.
    const auto state = [&c = s.controls, &s] {
        return std::tuple(s.form.labelTypeIndex(), c.page, c.available[1], c.available[2], c.layer,
                          c.rotation, c.field(TextBox::txtLabelOffsetX),
                          c.box(CheckBox::chkSelectedComp).ticked,
                          c.box(CheckBox::chkUnUsedPins).enabled, c.box(CheckBox::chkVias).enabled);
    };
    EXPECT_EQ(state(), std::tuple(1, 0, false, false, 0, u"00", u"", false, true, false));
    // The keyboard starts on the chosen option, not on the first one chosen on the way.
    EXPECT_EQ(std::pair(s.controls.chosenOption, s.controls.focusedOption), std::pair(1, 1));

    // A refresh rebuilds the lists and keeps everything else but the layer.
    s.choose(2);
    s.controls.page = 0;
    s.controls.rotation = u"180";
    s.controls.field(TextBox::txtLabelOffsetX) = u"10";
    s.controls.layer = 2;
    s.tick(CheckBox::chkSelectedComp);
    s.design->components.pop_back();
    s.design->nets[0].name = u"AGND";
    s.form.cmdUpdateList_Click();
    EXPECT_EQ(s.controls.listTexts(ListBox::lstCompList), Texts({u"U1"}));
    EXPECT_EQ(s.controls.listTexts(ListBox::lstNetList), Texts({u"AGND", u"SDA", u"NC1"}));
    EXPECT_EQ(s.controls.layers.size(), 3u);
    EXPECT_EQ(state(), std::tuple(2, 0, false, true, 0, u"180", u"10", true, false, true));
    EXPECT_TRUE(s.takeMessages().empty());
}

struct AttachFailure {
    const char* name;
    std::function<void(Session&)> arrange;
    // The notice's words: the attach notice, or the failure's own for an editor that keeps
    // refusing calls, does not answer or is gone.
    std::u16string notice = u"请先打开一个PCB设计文件!";
    // A busy editor is there all along: at a refresh the window stays.
    bool editorBusy = false;
    friend void PrintTo(const AttachFailure& failure, std::ostream* out) { *out << failure.name; }
};

// The `nth` call of `member` throws `thrown`.
template <class Thrown> auto failingAt(const char16_t* member, Thrown thrown, int nth = 1) {
    return [=](Session& s) {
        s.log->beforeCall = [=, seen = 0](const host::RecordedCall& call) mutable {
            if (call.member == member && ++seen == nth) {
                throw thrown;
            }
        };
    };
}

const AttachFailure attachFailures[] = {
    {"NoEditorRunning",
     [](Session& s) {
         s.onAttach = [&c = s.controls] {
             EXPECT_TRUE(std::ranges::all_of(c.lists, std::ranges::empty) && c.layers.empty());
             throw std::runtime_error("no bus");
         };
     }},
    {"NoDesignOpen", [](Session& s) { s.designOpen = false; }},
    {"NoLayers", [](Session& s) { s.design->layers.clear(); }},
    {"HostCallFails", failingAt(u"NetClasses", host::Failure(-2147418113, u"灾难性故障"))},
    {"EditorBusy", failingAt(u"Nets", host::Failure::editorBusy(-2147418111)),
     host::Failure::editorBusy(-2147418111).description(), true},
    {"EditorNotAnswering", failingAt(u"Nets", host::Failure::editorNotAnswering(25000ms)),
     host::Failure::editorNotAnswering(25000ms).description()},
    {"EditorGone", failingAt(u"Nets", host::Failure::editorGone(u"进程已结束")),
     host::Failure::editorGone(u"进程已结束").description()},
};

class FailedAttach : public testing::TestWithParam<std::tuple<AttachFailure, bool>> {};

// Every way the attachment can fail ends alike, before the window was ever shown or with the
// lists already emptied at a refresh: the notice, then the end of the program, with no list left
// half drawn. At a refresh a busy editor leaves the window, with no half-filled list, and the next
// refresh fills the lists.
TEST_P(FailedAttach, ShowsTheNoticeAndEnds) {
    const auto& [failure, atRefresh] = GetParam();
    Session s(atRefresh);
    failure.arrange(s);
    if (atRefresh) {
        s.form.cmdUpdateList_Click();
    } else {
        EXPECT_FALSE(s.form.Form_Load());
    }
    EXPECT_EQ(s.takeMessages(), Messages({{failure.notice, u"提示"}}));
    EXPECT_EQ(s.controls.filling, (std::array<bool, 3>{})) << "a list left undrawn";
    const bool windowStays = atRefresh && failure.editorBusy;
    EXPECT_EQ(s.controls.programEnds, windowStays ? 0 : 1);
    if (windowStays) {
        EXPECT_TRUE(s.controls.listTexts(ListBox::lstCompList).empty());
        s.log->beforeCall = nullptr;
        s.form.cmdUpdateList_Click();
        EXPECT_EQ(s.controls.listTexts(ListBox::lstCompList), Texts({u"U1", u"R1"}));
        EXPECT_TRUE(s.takeMessages().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, FailedAttach,
                         testing::Combine(testing::ValuesIn(attachFailures), testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "AtRefresh" : "AtLoad");
                         });

TEST(Form, AboutAndClose) {
    Session s;
    s.log->calls.clear();
    s.form.cmdHelp_Click();
    EXPECT_EQ(
        s.takeMessages(),
        Messages({{u"版本：" TAGWRIGHT_VERSION_TEXT u"       \r\n\r\n运行错误或改进建议请联系：  "
                   u"\r\n\r\nsupport@tagwright.invalid"}}));
    EXPECT_TRUE(s.log->calls.empty());
    EXPECT_EQ(s.controls.trace, std::vector<std::string>({"message"}));
    s.form.cmdClose_Click();
    s.form.Form_Close();
    EXPECT_EQ(s.controls.programEnds, 2);
}

// What choosing each label type leaves behind, whatever type and page came before.
TEST(Form, LabelTypeFromEveryTypeAndPage) {
    // Page in front, pages available, unused pins and vias enabled.
    using Effect = std::tuple<int, std::array<bool, 3>, bool, bool>;
    const Effect effectOf[] = {{1, {true, true, true}, false, true},
                               {0, {true, false, false}, true, false},
                               {2, {true, false, true}, false, true}};
    Session s;
    auto& c = s.controls;
    for (std::int16_t from = 0; from < 3; ++from) {
        for (int page = 0; page < 3; ++page) {
            for (std::int16_t chosen = 0; chosen < 3; ++chosen) {
                s.choose(from);
                if (!c.available[page]) {
                    continue;
                }
                SCOPED_TRACE(testing::Message()
                             << "type " << from << ", page " << page << ", then type " << chosen);
                c.page = page;
                s.tick(CheckBox::chkUnUsedPins);
                s.tick(CheckBox::chkVias);
                s.select(ListBox::lstNetList, 1);

                s.choose(chosen);
                EXPECT_EQ(Effect(c.page, c.available, c.box(CheckBox::chkUnUsedPins).enabled,
                                 c.box(CheckBox::chkVias).enabled),
                          effectOf[chosen]);
                EXPECT_EQ(s.form.labelTypeIndex(), chosen);
                // Disabling never clears a tick or a list's choice.
                EXPECT_TRUE(c.box(CheckBox::chkUnUsedPins).ticked &&
                            c.box(CheckBox::chkVias).ticked);
                EXPECT_TRUE(c.list(ListBox::lstNetList)[1].selected);
            }
        }
    }

    // An index the group does not have changes the type alone; deleting then has no caption.
    s.choose(0);
    s.form.optLabelType_Click(3);
    EXPECT_EQ(std::tuple(s.form.labelTypeIndex(), c.page, c.available[1], c.available[2]),
              std::tuple(3, 1, true, true));
    s.form.cmdDeleteLabel_Click();
    EXPECT_EQ(s.takeMessages(), Messages({{u"运行时错误 '9':\n下标越界"}}));
}

// Ctrl+Tab and Ctrl+Shift+Tab bring the next or the previous page to the front, round the end
// and past the pages a click is refused, and the control with the focus never sees them; any
// other key, or Tab with other modifiers, is left to the control.
TEST(Form, CtrlTabSwitchesToTheNextAvailablePage) {
    using window::ctrlMask, window::shiftMask, window::altMask, window::keyTab;
    // Label type, page in front, key and shift state, page then (-1: the key is not the form's).
    const std::tuple<std::int16_t, int, std::int16_t, std::int16_t, int> cases[] = {
        {0, 0, keyTab, ctrlMask, 1},
        {0, 2, keyTab, ctrlMask, 0},
        {0, 0, keyTab, ctrlMask | shiftMask, 2},
        {0, 2, keyTab, ctrlMask | shiftMask, 1},
        {2, 0, keyTab, ctrlMask, 2},
        {2, 2, keyTab, ctrlMask, 0},
        {2, 2, keyTab, ctrlMask | shiftMask, 0},
        {2, 0, keyTab, ctrlMask | shiftMask, 2},
        {1, 0, keyTab, ctrlMask, 0},
        {1, 0, keyTab, ctrlMask | shiftMask, 0},
        {0, 0, keyTab, 0, -1},
        {0, 0, keyTab, shiftMask, -1},
        {0, 0, keyTab, ctrlMask | altMask, -1},
        {0, 0, 'A', ctrlMask, -1},
    };
    Session s;
    for (const auto& [labelType, from, key, shift, page] : cases) {
        SCOPED_TRACE(testing::Message() << "type " << labelType << ", page " << from << ", key "
                                        << key << ", shift " << shift);
        s.choose(labelType);
        s.controls.page = from;
        std::int16_t code = key;
        s.form.Form_KeyDown(code, shift);
        EXPECT_EQ(s.controls.page, page < 0 ? from : page);
        EXPECT_EQ(code, page < 0 ? key : 0);
    }
}

TEST(Form, KeyFiltersKeepOnlyTheCharactersOfANumber) {
    using Handler = void (window::frmTagwright::*)(std::int16_t&);
    const std::pair<Handler, bool> fields[] = {
        {&window::frmTagwright::txtLabelFontH_KeyPress, true},
        {&window::frmTagwright::txtLabelFontW_KeyPress, true},
        {&window::frmTagwright::txtLabelOffsetX_KeyPress, true},
        {&window::frmTagwright::txtLabelOffsetY_KeyPress, true},
        {&window::frmTagwright::cboLabelRotation_KeyPress, false}};
    // Ctrl+A and Backspace pass; Ctrl+C, Ctrl+V, Tab, Enter, Escape and the rest do not.
    const std::u16string kept = u"0123456789.\x01\x08";
    const std::u16string dropped = u"\x03\x16\t\r\x1b +,eEa\x7f\u00ff\u4e2d\uffff";
    Session s(false);
    for (const auto& [handler, minusAllowed] : fields) {
        std::u16string passed;
        for (const char16_t c : kept + u"-" + dropped) {
            auto code = static_cast<std::int16_t>(c);
            (s.form.*handler)(code);
            EXPECT_TRUE(code == 0 || code == static_cast<std::int16_t>(c)) << int(c);
            if (code != 0) {
                passed += c;
            }
        }
        EXPECT_EQ(passed, minusAllowed ? kept + u"-" : kept);
    }
}

// Each control the labels depend on reaches them; which labels each rule places is the label
// logic's own concern.
TEST(Form, AddLabelsFromWhatTheWindowShows) {
    const std::tuple<const char*, std::function<void(Session&)>, Texts, Messages> cases[] = {
        {"pin numbers, unused pins too",
         [](Session& s) { s.tick(CheckBox::chkUnUsedPins); },
         {u"{1}", u"{2}", u"{12}", u"{4}", u"{1}", u"{2}"},
         {{u"12"}}},
        {"net names of the selected net and component, vias too",
         [](Session& s) {
             s.choose(0), s.tick(CheckBox::chkVias), s.tick(CheckBox::chkSelectedNets);
             s.tick(CheckBox::chkSelectedComp), s.select(ListBox::lstNetList, 1);
             s.select(ListBox::lstCompList, 0);
         },
         {u"{SDA}", u"{SDA}"},
         {}},
        {"net classes of the selected class",
         [](Session& s) {
             s.choose(2), s.tick(CheckBox::chkSelectedNetClasses);
             s.select(ListBox::lstNetClassList, 1);
         },
         {u"{SIGNAL}", u"{SIGNAL}"},
         {}},
    };
    for (const auto& [what, arrange, added, messages] : cases) {
        SCOPED_TRACE(what);
        Session s;
        arrange(s);
        s.form.cmdAddLabel_Click();
        EXPECT_EQ(s.addedTexts(), added);
        EXPECT_EQ(s.takeMessages(), messages);
        // A message during the run is read under the ordinary cursor, and the run goes on busy.
        EXPECT_EQ(s.controls.trace,
                  messages.empty()
                      ? std::vector<std::string>({"busy", "idle"})
                      : std::vector<std::string>({"busy", "idle", "message", "busy", "idle"}));
    }

    Session s;
    s.controls.texts = {u"10", u"-5", u"20", u"2"}; // offset x and y, height, line width
    s.controls.rotation = u"90";
    s.controls.layer = 1;
    s.form.cmdAddLabel_Click();
    const host::memory::TextData& first = *s.design->texts.at(2);
    EXPECT_EQ(std::tuple(first.text, first.layer, first.x, first.y, first.height, first.lineWidth,
                         first.rotation),
              std::tuple(u"{1}", 2, 110.0, 195.0, 20.0, 2.0, 90.0));
}

TEST(Form, DeleteAndLocatePassOnWhatTheyReport) {
    Session s;
    s.form.cmdAddLabel_Click();
    s.takeMessages();
    s.design->texts[0]->locked = true; // {NOTE}
    s.select(ListBox::lstCompList, 1);
    s.form.cmdDeleteLabel_Click();
    EXPECT_EQ(s.takeMessages(), Messages({{u"删除 管脚号{NOTE} 时发生错误，请手工删除！"}}));
    EXPECT_TRUE(s.addedTexts().empty());

    s.form.cmdLocateComp_Click();
    EXPECT_EQ(std::tuple(s.design->components[0].selected, s.design->components[1].selected),
              std::tuple(false, true));
    s.choose(0);
    s.select(ListBox::lstNetList, 2);
    s.form.cmdLocateNet_Click();
    EXPECT_EQ(std::tuple(s.design->nets[0].selected, s.design->nets[2].selected),
              std::tuple(false, true));

    s.design->components[0].name = u"U9";
    s.form.cmdLocateComp_Click();
    EXPECT_EQ(s.takeMessages(), Messages({{maintenance::staleListMessage}}));
}

// A failure no handler expects is reported with its number and description under the
// ordinary cursor; what was done stays done and the window goes on working.
TEST(Form, UncaughtFailuresAreReportedAndTheProgramLivesOn) {
    const std::tuple<const char*, std::function<void(Session&)>, std::u16string, std::size_t>
        cases[] = {
            {"a lone minus sign",
             // Assigned as a string: mingw's gcc 12 warns wrongly about the bare literal.
             [](Session& s) { s.controls.field(TextBox::txtLabelOffsetY) = std::u16string(u"-"); },
             u"运行时错误 '13':\n类型不匹配", 0},
            // Said once, by the run that met it; only a cancelled run keeps quiet about it.
            {"the editor is gone",
             failingAt(u"AddText", host::Failure::editorGone(u"进程已结束"), 2),
             u"运行时错误 '462':\n" + host::Failure::editorGone(u"进程已结束").description(), 1},
            {"an internal error", failingAt(u"AddText", std::logic_error("步骤 2"), 2),
             u"运行时错误 '51':\n内部错误: 步骤 2", 1},
            {"out of memory", failingAt(u"AddText", std::bad_alloc(), 2),
             u"运行时错误 '7':\n内存溢出", 1},
        };
    for (const auto& [what, arrange, report, labelsLeft] : cases) {
        SCOPED_TRACE(what);
        Session s;
        arrange(s);
        s.form.cmdAddLabel_Click();
        EXPECT_EQ(s.takeMessages(), Messages({{report}}));
        EXPECT_EQ(s.controls.trace, std::vector<std::string>({"busy", "idle", "message"}));
        EXPECT_EQ(s.addedTexts().size(), labelsLeft);
        EXPECT_EQ(s.controls.programEnds, 0);

        // With the cause gone the same window labels the board, busy and taking no input all
        // along though the run is too quick for any turn of the event loop.
        bool busyAtEveryCall = true;
        s.log->beforeCall = [&](const host::RecordedCall&) {
            busyAtEveryCall &= s.controls.busy && s.controls.inputBlocked;
        };
        s.controls.field(TextBox::txtLabelOffsetY).clear();
        s.form.cmdAddLabel_Click();
        EXPECT_EQ(s.addedTexts().size(), labelsLeft + 5);
        EXPECT_TRUE(busyAtEveryCall);
        EXPECT_FALSE(s.controls.busy || s.controls.inputBlocked);
        EXPECT_TRUE(s.controls.eventTurns.empty());
    }
}

} // namespace
