#include "WindowHarness.h"

#include "maintenance/Locate.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

using Texts = std::vector<std::u16string>;
using Messages = std::vector<test::Message>;

// The window loaded with a design, and the few things a user does to it.
struct Session {
    explicit Session(const std::string& design = test::smallBoard) : harness(design) {
        loaded = harness.window->Form_Load();
    }

    void click(const char* name) { harness.control<QAbstractButton>(name)->click(); }
    void tick(const char* name) { harness.control<QAbstractButton>(name)->setChecked(true); }
    void select(const char* list, int row) {
        harness.control<QListWidget>(list)->item(row)->setSelected(true);
    }
    void setText(const char* field, const char* text) {
        harness.control<QLineEdit>(field)->setText(QString::fromUtf8(text));
    }
    void setRotation(const char* text) {
        harness.control<QComboBox>("cboLabelRotation")->setEditText(QString::fromUtf8(text));
    }

    // The design's live texts after the first `before` ones.
    Texts addedTexts(std::size_t before = 2) const {
        Texts texts;
        for (const auto& text : harness.design->texts) {
            if (!text->deleted)
                texts.push_back(text->text);
        }
        return Texts(texts.begin() + std::ptrdiff_t(std::min(before, texts.size())), texts.end());
    }

    test::WindowHarness harness;
    bool loaded = false;
};

class Handlers : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(s.loaded); }
    Session s;
};

TEST_F(Handlers, AddLabelsOfEveryTypeFromWhatTheWindowShows) {
    struct Case {
        const char* what;
        std::function<void(Session&)> arrange;
        Texts added;
        Messages messages;
    };
    const Messages unnamedPin = {{"12", "Tagwright"}};
    const Case cases[] = {
        {"pin numbers", [](Session&) {}, {u"{1}", u"{2}", u"{12}", u"{1}", u"{2}"}, unnamedPin},
        {"pin numbers with unused pins",
         [](Session& t) { t.tick("chkUnUsedPins"); },
         {u"{1}", u"{2}", u"{12}", u"{4}", u"{1}", u"{2}"},
         unnamedPin},
        {"net names with vias",
         [](Session& t) {
             t.click("optLabelType_0");
             t.tick("chkVias");
         },
         {u"{GND}", u"{SDA}", u"{NC1}", u"{SDA}", u"{GND}", u"{SDA}", u"{NC1}"},
         {}},
        {"net names of the selected net",
         [](Session& t) {
             t.click("optLabelType_0");
             t.tick("chkSelectedNets");
             t.select("lstNetList", 0);
         },
         {u"{GND}", u"{GND}"},
         {}},
        {"net classes of the selected component",
         [](Session& t) {
             t.click("optLabelType_2");
             t.tick("chkSelectedComp");
             t.select("lstCompList", 1);
         },
         {u"{SIGNAL}", u"{POWER}"},
         {}},
        {"net classes of the selected class, vias too",
         [](Session& t) {
             t.click("optLabelType_2");
             t.tick("chkSelectedNetClasses");
             t.select("lstNetClassList", 1);
             t.tick("chkVias");
         },
         {u"{SIGNAL}", u"{SIGNAL}", u"{SIGNAL}"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session fresh;
        ASSERT_TRUE(fresh.loaded);
        c.arrange(fresh);
        fresh.click("cmdAddLabel");
        EXPECT_EQ(fresh.addedTexts(), c.added);
        EXPECT_EQ(fresh.harness.takeMessages(), c.messages);
    }
}

TEST_F(Handlers, FieldsAndLayerReachEveryLabel) {
    s.tick("chkSelectedComp");
    s.select("lstCompList", 0);
    s.setText("txtLabelOffsetX", "10");
    s.setText("txtLabelOffsetY", "-5");
    s.setText("txtLabelFontH", "20");
    s.setText("txtLabelFontW", "2");
    s.setRotation("90");
    s.harness.control<QComboBox>("cboLabelLayer")->setCurrentIndex(1);
    s.click("cmdAddLabel");

    ASSERT_EQ(s.addedTexts().size(), 3u);
    const host::memory::TextData& first = *s.harness.design->texts[2];
    EXPECT_EQ(first.text, u"{1}");
    EXPECT_EQ(first.layer, 2);
    EXPECT_DOUBLE_EQ(first.x, 110);
    EXPECT_DOUBLE_EQ(first.y, 195);
    EXPECT_DOUBLE_EQ(first.height, 20);
    EXPECT_DOUBLE_EQ(first.lineWidth, 2);
    EXPECT_DOUBLE_EQ(first.rotation, 90);
}

const char* const lockedLabelDesign = R"({"layers": ["Top"], "nets": [{"name": "GND"}],
    "components": [{"name": "U1", "pins": [{"name": "1", "x": 1, "y": 2, "net": "GND"}]}],
    "texts": [{"text": "{LOCK}", "locked": true}, {"text": "keep"}, {"text": "{NOTE}"}]})";

TEST(Removal, DeleteRemovesEveryMarkedTextAndReportsARefusal) {
    Session s(lockedLabelDesign);
    ASSERT_TRUE(s.loaded);
    s.click("optLabelType_0");
    s.click("cmdAddLabel");
    s.click("optLabelType_1");
    s.select("lstCompList", 0);
    s.click("cmdDeleteLabel");

    EXPECT_EQ(s.addedTexts(0), Texts({u"{LOCK}", u"keep"}));
    EXPECT_EQ(s.harness.takeMessages(),
              Messages({{"删除 管脚号{LOCK} 时发生错误，请手工删除！", "Tagwright"}}));
    // The window is left as it was.
    EXPECT_EQ(s.harness.control<QListWidget>("lstCompList")->count(), 1);
    EXPECT_TRUE(s.harness.control<QListWidget>("lstCompList")->item(0)->isSelected());
    EXPECT_EQ(s.harness.window->labelTypeIndex(), 1);
}

TEST_F(Handlers, LocateSelectsExactlyTheChosenEntries) {
    s.select("lstCompList", 1);
    s.click("cmdLocateComp");
    EXPECT_FALSE(s.harness.design->components[0].selected);
    EXPECT_TRUE(s.harness.design->components[1].selected);
    EXPECT_EQ(s.harness.design->showSelectionCalls, 1u);
    for (const auto& net : s.harness.design->nets)
        EXPECT_FALSE(net.selected);

    s.click("optLabelType_0");
    s.select("lstNetList", 0);
    s.select("lstNetList", 2);
    s.click("cmdLocateNet");
    EXPECT_TRUE(s.harness.design->nets[0].selected);
    EXPECT_FALSE(s.harness.design->nets[1].selected);
    EXPECT_TRUE(s.harness.design->nets[2].selected);
    EXPECT_TRUE(s.harness.design->components[1].selected);
    EXPECT_EQ(s.harness.design->showSelectionCalls, 2u);
    EXPECT_TRUE(s.harness.takeMessages().empty());

    // A design changed since the last refresh is not trusted with positions.
    s.harness.design->components[0].name = u"U9";
    s.click("cmdLocateComp");
    EXPECT_EQ(s.harness.takeMessages(),
              Messages({{QString::fromStdU16String(maintenance::staleListMessage), "Tagwright"}}));
}

// A failure no handler expects is reported with its number and description; what was done
// stays done and the window goes on working.
TEST_F(Handlers, UncaughtFailuresAreReportedAndTheProgramLivesOn) {
    struct Case {
        const char* what;
        std::function<void(Session&)> arrange;
        const char* button;
        QString report;
        std::size_t labelsLeft;
    };
    const auto failAt = [](const char16_t* member, int occurrence) {
        return [member, occurrence](Session& t) {
            t.harness.log->beforeCall = [member, occurrence,
                                         seen = 0](const host::RecordedCall& call) mutable {
                if (call.member == member && ++seen == occurrence)
                    throw host::Failure(1004, u"应用程序定义或对象定义错误");
            };
        };
    };
    const QString hostReport = "运行时错误 '1004':\n应用程序定义或对象定义错误";
    const Case cases[] = {
        {"a lone minus sign in an offset", [](Session& t) { t.setText("txtLabelOffsetY", "-"); },
         "cmdAddLabel", "运行时错误 '13':\n类型不匹配", 0},
        {"a lone point in the rotation", [](Session& t) { t.setRotation("."); }, "cmdAddLabel",
         "运行时错误 '13':\n类型不匹配", 0},
        {"the host fails at the second label", failAt(u"AddText", 2), "cmdAddLabel", hostReport, 1},
        {"the host fails while removing", failAt(u"TextString", 1), "cmdDeleteLabel", hostReport,
         0},
        {"the host fails to show the selection", failAt(u"ShowSelection", 1), "cmdLocateComp",
         hostReport, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session fresh;
        ASSERT_TRUE(fresh.loaded);
        c.arrange(fresh);
        fresh.click(c.button);
        EXPECT_EQ(fresh.harness.takeMessages(), Messages({{c.report, "Tagwright"}}));
        EXPECT_EQ(fresh.addedTexts().size(), c.labelsLeft);
        EXPECT_EQ(fresh.harness.programEnds, 0);

        // Still working: with the cause gone the same click does its job.
        fresh.harness.log->beforeCall = nullptr;
        fresh.setText("txtLabelOffsetY", "");
        fresh.setRotation("0");
        fresh.click("cmdAddLabel");
        EXPECT_EQ(fresh.addedTexts().size(), c.labelsLeft + 5);
        EXPECT_EQ(fresh.harness.takeMessages(), Messages({{"12", "Tagwright"}}));
    }
}

} // namespace
