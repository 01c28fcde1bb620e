#include "WindowHarness.h"

#include "maintenance/Locate.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace tagwright;
using Messages = test::MessageLog;

namespace {

using Texts = std::vector<std::u16string>;
const test::Message attachNotice = {"请先打开一个PCB设计文件!", "提示"};

// The window loaded with the small board, and what a user does to it.
struct Session : test::WindowHarness {
    explicit Session(bool load = true) {
        if (load)
            loaded = window->Form_Load();
    }

    QStringList entries(const char* name) const {
        QStringList texts;
        if (auto* combo = window->findChild<QComboBox*>(name)) {
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        } else {
            for (auto* item : control<QListWidget>(name)->findItems("*", Qt::MatchWildcard))
                texts << (item->isSelected() ? "+" : "") + item->text();
        }
        return texts;
    }
    void tick(const char* name) const { control<QAbstractButton>(name)->setChecked(true); }
    void select(const char* list, int row) const {
        control<QListWidget>(list)->item(row)->setSelected(true);
    }
    void setText(const char* field, const char* text) const {
        if (auto* combo = window->findChild<QComboBox*>(field))
            combo->setEditText(text);
        else
            control<QLineEdit>(field)->setText(text);
    }
    // The design's live texts after the two it starts with.
    Texts addedTexts() const {
        Texts texts;
        for (const auto& text : design->texts) {
            if (!text->deleted)
                texts.push_back(text->text);
        }
        return Texts(texts.begin() + std::min<std::ptrdiff_t>(2, std::ssize(texts)), texts.end());
    }

    bool loaded = false;
};

TEST(Handlers, LoadFillsTheListsInHostOrderAndSetsTheStartState) {
    Session s;
    ASSERT_TRUE(s.loaded);
    EXPECT_EQ(s.entries("lstCompList"), QStringList({"U1", "R1"}));
    EXPECT_EQ(s.entries("lstNetList"), QStringList({"GND", "SDA", "NC1"}));
    EXPECT_EQ(s.entries("lstNetClassList"), QStringList({"POWER", "SIGNAL"}));
    EXPECT_EQ(s.entries("cboLabelLayer"), QStringList({"Top", "Bottom", "Silkscreen Top"}));
    EXPECT_EQ(s.control<QComboBox>("cboLabelLayer")->currentIndex(), 0);
    EXPECT_EQ(s.control<QComboBox>("cboLabelRotation")->currentText(), "00");
    EXPECT_EQ(s.entries("cboLabelRotation"), QStringList({"00", "90", "180", "270"}));
    for (const char* list : {"lstCompList", "lstNetList", "lstNetClassList"}) {
        EXPECT_EQ(s.control<QListWidget>(list)->selectionMode(),
                  QAbstractItemView::ExtendedSelection);
    }
    EXPECT_EQ(s.window->labelTypeIndex(), 1);
    EXPECT_TRUE(s.control<QAbstractButton>("optLabelType_1")->isChecked());
    EXPECT_EQ(s.control<QTabWidget>("tabObjList")->currentIndex(), 0);
    EXPECT_TRUE(s.control("chkUnUsedPins")->isEnabled());
    EXPECT_FALSE(s.control("chkVias")->isEnabled());
    EXPECT_TRUE(s.takeMessages().empty());
    // One name read per member, nothing cached for later.
    EXPECT_EQ(s.log->count(u"Name"), 7u);
}

// Every way the attachment can fail ends alike: the notice, then the end of the program,
// before the window was ever shown, or with the lists already emptied at a refresh.
TEST(Handlers, FailedAttachShowsTheNoticeAndEnds) {
    const auto failAt = [](const char16_t* member) {
        return [member](Session& s) {
            s.log->beforeCall = [member](const host::RecordedCall& call) {
                if (call.member == member)
                    throw host::Failure(-2147418113, u"灾难性故障");
            };
        };
    };
    const std::pair<const char*, std::function<void(Session&)>> cases[] = {
        {"no editor running",
         [](Session& s) {
             s.onAttach = [&s] {
                 // A refresh empties the lists before it attaches.
                 for (const char* list :
                      {"lstCompList", "lstNetList", "lstNetClassList", "cboLabelLayer"})
                     EXPECT_TRUE(s.entries(list).isEmpty()) << list;
                 throw std::runtime_error("no bus");
             };
         }},
        {"no design open", [](Session& s) { s.designOpen = false; }},
        {"no layers", [](Session& s) { s.design->layers.clear(); }},
        {"a host call fails", failAt(u"NetClasses")},
    };
    for (const bool atRefresh : {false, true}) {
        for (const auto& [what, arrange] : cases) {
            SCOPED_TRACE(testing::Message() << what << (atRefresh ? " at refresh" : " at load"));
            Session s(atRefresh);
            arrange(s);
            if (atRefresh)
                s.click("cmdUpdateList");
            else
                EXPECT_FALSE(s.window->Form_Load());
            EXPECT_EQ(s.takeMessages(), Messages{attachNotice});
            EXPECT_EQ(s.programEnds, 1);
            EXPECT_FALSE(s.window->isVisible());
        }
    }
}

TEST(Handlers, RefreshRebuildsTheListsAndKeepsEverythingElse) {
    Session s;
    s.click("optLabelType_2");
    s.control<QTabWidget>("tabObjList")->setCurrentIndex(0);
    s.setText("cboLabelRotation", "180");
    s.setText("txtLabelOffsetX", "10");
    s.control<QComboBox>("cboLabelLayer")->setCurrentIndex(2);
    s.tick("chkSelectedComp");
    s.select("lstNetList", 0);

    s.design->components.pop_back();
    s.design->nets[0].name = u"AGND";
    s.click("cmdUpdateList");

    EXPECT_EQ(s.entries("lstCompList"), QStringList({"U1"}));
    EXPECT_EQ(s.entries("lstNetList"), QStringList({"AGND", "SDA", "NC1"}));
    EXPECT_EQ(s.control<QComboBox>("cboLabelLayer")->currentIndex(), 0);
    EXPECT_EQ(s.window->labelTypeIndex(), 2);
    EXPECT_EQ(s.control<QTabWidget>("tabObjList")->currentIndex(), 0);
    EXPECT_EQ(s.control<QComboBox>("cboLabelRotation")->currentText(), "180");
    EXPECT_EQ(s.control<QLineEdit>("txtLabelOffsetX")->text(), "10");
    EXPECT_TRUE(s.control<QAbstractButton>("chkSelectedComp")->isChecked());
    EXPECT_TRUE(s.takeMessages().empty());
}

TEST(Handlers, AboutAndClose) {
    Session s;
    s.log->calls.clear();
    s.click("cmdHelp");
    s.click("cmdHelp");
    const test::Message about = {
        "版本：1.0       \r\n\r\n运行错误或改进建议请联系：  \r\n\r\nsupport@tagwright.invalid",
        "Tagwright"};
    EXPECT_EQ(s.takeMessages(), Messages({about, about}));
    EXPECT_TRUE(s.log->calls.empty());

    s.click("cmdClose");
    EXPECT_EQ(s.programEnds, 1);
    s.window->close(); // the title bar's close box
    EXPECT_EQ(s.programEnds, 2);
    EXPECT_TRUE(s.takeMessages().empty());
}

TEST(Handlers, AddLabelsFromWhatTheWindowShows) {
    const Messages unnamedPin = {{"12", "Tagwright"}};
    const std::tuple<const char*, std::function<void(Session&)>, Texts, Messages> cases[] = {
        {"pin numbers", [](Session&) {}, {u"{1}", u"{2}", u"{12}", u"{1}", u"{2}"}, unnamedPin},
        {"pin numbers, unused pins too",
         [](Session& s) { s.tick("chkUnUsedPins"); },
         {u"{1}", u"{2}", u"{12}", u"{4}", u"{1}", u"{2}"},
         unnamedPin},
        {"net names, vias too",
         [](Session& s) { s.click("optLabelType_0"), s.tick("chkVias"); },
         {u"{GND}", u"{SDA}", u"{NC1}", u"{SDA}", u"{GND}", u"{SDA}", u"{NC1}"},
         {}},
        {"net names of the selected net",
         [](Session& s) {
             s.click("optLabelType_0"), s.tick("chkSelectedNets"), s.select("lstNetList", 0);
         },
         {u"{GND}", u"{GND}"},
         {}},
        {"net classes of the selected component",
         [](Session& s) {
             s.click("optLabelType_2"), s.tick("chkSelectedComp"), s.select("lstCompList", 1);
         },
         {u"{SIGNAL}", u"{POWER}"},
         {}},
        {"net classes of the selected class, vias too",
         [](Session& s) {
             s.click("optLabelType_2"), s.tick("chkSelectedNetClasses"), s.tick("chkVias");
             s.select("lstNetClassList", 1);
         },
         {u"{SIGNAL}", u"{SIGNAL}", u"{SIGNAL}"},
         {}},
    };
    for (const auto& [what, arrange, added, messages] : cases) {
        SCOPED_TRACE(what);
        Session s;
        arrange(s);
        s.click("cmdAddLabel");
        EXPECT_EQ(s.addedTexts(), added);
        EXPECT_EQ(s.takeMessages(), messages);
    }
}

TEST(Handlers, FieldsAndLayerReachTheLabels) {
    Session s;
    s.setText("txtLabelOffsetX", "10");
    s.setText("txtLabelOffsetY", "-5");
    s.setText("txtLabelFontH", "20");
    s.setText("txtLabelFontW", "2");
    s.setText("cboLabelRotation", "90");
    s.control<QComboBox>("cboLabelLayer")->setCurrentIndex(1);
    s.click("cmdAddLabel");
    ASSERT_EQ(s.design->texts.size(), 7u);
    const host::memory::TextData& first = *s.design->texts[2];
    EXPECT_EQ(first.text, u"{1}");
    EXPECT_EQ(first.layer, 2);
    EXPECT_EQ(std::tuple(first.x, first.y, first.height, first.lineWidth, first.rotation),
              std::tuple(110.0, 195.0, 20.0, 2.0, 90.0));
}

TEST(Handlers, DeleteAndLocateLeaveTheWindowAsItWas) {
    Session s;
    s.click("cmdAddLabel");
    s.takeMessages();
    s.design->texts[0]->locked = true; // {NOTE}
    s.select("lstCompList", 1);
    s.click("cmdDeleteLabel");
    EXPECT_EQ(s.takeMessages(),
              Messages({{"删除 管脚号{NOTE} 时发生错误，请手工删除！", "Tagwright"}}));
    EXPECT_TRUE(s.addedTexts().empty());

    s.click("cmdLocateComp");
    EXPECT_FALSE(s.design->components[0].selected);
    EXPECT_TRUE(s.design->components[1].selected);
    s.click("optLabelType_0");
    s.select("lstNetList", 2);
    s.click("cmdLocateNet");
    EXPECT_EQ(std::tuple(s.design->nets[0].selected, s.design->nets[2].selected),
              std::tuple(false, true));
    EXPECT_EQ(s.design->showSelectionCalls, 2u);
    EXPECT_EQ(s.entries("lstCompList"), QStringList({"U1", "+R1"}));

    // The window passes on what the locate step says of a list the design no longer matches.
    s.design->components[0].name = u"U9";
    s.click("cmdLocateComp");
    EXPECT_EQ(s.takeMessages(),
              Messages({{QString::fromStdU16String(maintenance::staleListMessage), "Tagwright"}}));
}

// A failure no handler expects is reported with its number and description; what was done
// stays done and the window goes on working.
TEST(Handlers, UncaughtFailuresAreReportedAndTheProgramLivesOn) {
    const auto failAt = [](const char16_t* member, int occurrence) {
        return [member, occurrence](Session& s) {
            s.log->beforeCall = [=, seen = 0](const host::RecordedCall& call) mutable {
                if (call.member == member && ++seen == occurrence)
                    throw host::Failure(1004, u"应用程序定义或对象定义错误");
            };
        };
    };
    const QString typeMismatch = "运行时错误 '13':\n类型不匹配";
    const QString hostError = "运行时错误 '1004':\n应用程序定义或对象定义错误";
    const std::tuple<const char*, std::function<void(Session&)>, const char*, QString, std::size_t>
        cases[] = {
            {"a lone minus sign", [](Session& s) { s.setText("txtLabelOffsetY", "-"); },
             "cmdAddLabel", typeMismatch, 0},
            {"a lone point", [](Session& s) { s.setText("cboLabelRotation", "."); }, "cmdAddLabel",
             typeMismatch, 0},
            {"host fails at the second label", failAt(u"AddText", 2), "cmdAddLabel", hostError, 1},
            {"host fails while removing", failAt(u"TextString", 1), "cmdDeleteLabel", hostError, 0},
            {"host fails to show", failAt(u"ShowSelection", 1), "cmdLocateComp", hostError, 0},
        };
    for (const auto& [what, arrange, button, report, labelsLeft] : cases) {
        SCOPED_TRACE(what);
        Session s;
        arrange(s);
        s.click(button);
        EXPECT_EQ(s.takeMessages(), Messages({{report, "Tagwright"}}));
        EXPECT_EQ(s.addedTexts().size(), labelsLeft);
        EXPECT_EQ(s.programEnds, 0);

        // With the cause gone the same window labels the board.
        s.log->beforeCall = nullptr;
        s.setText("txtLabelOffsetY", "");
        s.setText("cboLabelRotation", "0");
        s.click("cmdAddLabel");
        EXPECT_EQ(s.addedTexts().size(), labelsLeft + 5);
    }
}

} // namespace
