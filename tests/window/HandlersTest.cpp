#include "WindowHarness.h"

#include "maintenance/Locate.h"

#include <QTabWidget>

#include <ranges>

#include <gtest/gtest.h>

using namespace tagwright;
using Messages = test::MessageLog;

namespace {

using Texts = std::vector<std::u16string>;

// The window loaded with the small board.
struct Session : test::WindowHarness {
    explicit Session(bool load = true) { loaded = load && window->Form_Load(); }
    QStringList entries(const char* name) const {
        auto* combo = window->findChild<QComboBox*>(name);
        const QAbstractItemModel* model =
            combo ? combo->model() : control<QListWidget>(name)->model();
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, 0).data().toString();
        return texts;
    }
    // The design's live texts after the two it starts with.
    Texts addedTexts() const {
        Texts texts;
        for (const auto& text : design->texts | std::views::drop(2))
            if (!text->deleted)
                texts.push_back(text->text);
        return texts;
    }
    bool loaded = false;
};

TEST(Handlers, LoadSetsTheStartStateAndRefreshKeepsIt) {
    Session s;
    ASSERT_TRUE(s.loaded);
    const std::pair<const char*, QStringList> lists[] = {
        {"lstCompList", {"U1", "R1"}},
        {"lstNetList", {"GND", "SDA", "NC1"}},
        {"lstNetClassList", {"POWER", "SIGNAL"}},
        {"cboLabelLayer", {"Top", "Bottom", "Silkscreen Top"}},
        {"cboLabelRotation", {"00", "90", "180", "270"}}};
    for (const auto& [name, expected] : lists)
        EXPECT_EQ(s.entries(name), expected) << name;
    for (const char* list : {"lstCompList", "lstNetList", "lstNetClassList"})
        EXPECT_EQ(s.control<QListWidget>(list)->selectionMode(),
                  QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(s.log->count(u"Name"), 7u) << "one name read per member, nothing cached";
    // Label type, page in front, layer, rotation, offset, a tick, the vias' tick enabled.
    const auto state = [&s] {
        return std::tuple(s.window->labelTypeIndex(),
                          s.control<QTabWidget>("tabObjList")->currentIndex(),
                          s.control<QComboBox>("cboLabelLayer")->currentIndex(),
                          s.control<QComboBox>("cboLabelRotation")->currentText(),
                          s.control<QLineEdit>("txtLabelOffsetX")->text(),
                          s.control<QAbstractButton>("chkSelectedComp")->isChecked(),
                          s.control("chkVias")->isEnabled());
    };
    EXPECT_EQ(state(), std::tuple(1, 0, 0, "00", "", false, false));
    EXPECT_TRUE(s.control<QAbstractButton>("optLabelType_1")->isChecked());

    // A refresh rebuilds the lists and keeps everything else but the layer.
    s.click("optLabelType_2");
    s.control<QTabWidget>("tabObjList")->setCurrentIndex(0);
    s.setText("cboLabelRotation", "180");
    s.setText("txtLabelOffsetX", "10");
    s.control<QComboBox>("cboLabelLayer")->setCurrentIndex(2);
    s.tick("chkSelectedComp");
    s.design->components.pop_back();
    s.design->nets[0].name = u"AGND";
    s.click("cmdUpdateList");
    EXPECT_EQ(s.entries("lstCompList"), QStringList({"U1"}));
    EXPECT_EQ(s.entries("lstNetList"), QStringList({"AGND", "SDA", "NC1"}));
    EXPECT_EQ(state(), std::tuple(2, 0, 0, "180", "10", true, true));
    EXPECT_TRUE(s.takeMessages().empty());
}

// Every way the attachment can fail ends alike: the notice, then the end of the program,
// before the window was ever shown, or with the lists already emptied at a refresh.
TEST(Handlers, FailedAttachShowsTheNoticeAndEnds) {
    const std::pair<const char*, std::function<void(Session&)>> cases[] = {
        {"no editor running",
         [](Session& s) {
             s.onAttach = [&s] {
                 for (const char* list :
                      {"lstCompList", "lstNetList", "lstNetClassList", "cboLabelLayer"})
                     EXPECT_TRUE(s.entries(list).isEmpty()) << list;
                 throw std::runtime_error("no bus");
             };
         }},
        {"no design open", [](Session& s) { s.designOpen = false; }},
        {"no layers", [](Session& s) { s.design->layers.clear(); }},
        {"a host call fails",
         [](Session& s) {
             s.log->beforeCall = [](const host::RecordedCall& call) {
                 if (call.member == u"NetClasses")
                     throw host::Failure(-2147418113, u"灾难性故障");
             };
         }},
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
            EXPECT_EQ(s.takeMessages(), Messages({{"请先打开一个PCB设计文件!", "提示"}}));
            EXPECT_EQ(s.programEnds, 1);
            EXPECT_FALSE(s.window->isVisible());
        }
    }
}

TEST(Handlers, AboutAndClose) {
    Session s;
    s.log->calls.clear();
    s.click("cmdHelp");
    EXPECT_EQ(s.takeMessages(), Messages({{"版本：1.0       \r\n\r\n运行错误或改进建议请联系：  "
                                           "\r\n\r\nsupport@tagwright.invalid"}}));
    EXPECT_TRUE(s.log->calls.empty());
    s.click("cmdClose");
    s.window->close(); // the title bar's close box
    EXPECT_EQ(s.programEnds, 2);
}

// Each control the labels depend on reaches them; which labels each rule places is the label
// logic's own concern.
TEST(Handlers, AddLabelsFromWhatTheWindowShows) {
    const std::tuple<const char*, std::function<void(Session&)>, Texts, Messages> cases[] = {
        {"pin numbers, unused pins too",
         [](Session& s) { s.tick("chkUnUsedPins"); },
         {u"{1}", u"{2}", u"{12}", u"{4}", u"{1}", u"{2}"},
         {{"12"}}},
        {"net names of the selected net and component, vias too",
         [](Session& s) {
             s.click("optLabelType_0"), s.tick("chkVias"), s.tick("chkSelectedNets");
             s.tick("chkSelectedComp"), s.select("lstNetList", 1), s.select("lstCompList", 0);
         },
         {u"{SDA}", u"{SDA}"},
         {}},
        {"net classes of the selected class",
         [](Session& s) {
             s.click("optLabelType_2"), s.tick("chkSelectedNetClasses");
             s.select("lstNetClassList", 1);
         },
         {u"{SIGNAL}", u"{SIGNAL}"},
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

    Session s;
    for (const auto& [field, text] : {std::pair{"txtLabelOffsetX", "10"},
                                      {"txtLabelOffsetY", "-5"},
                                      {"txtLabelFontH", "20"},
                                      {"txtLabelFontW", "2"},
                                      {"cboLabelRotation", "90"}})
        s.setText(field, text);
    s.control<QComboBox>("cboLabelLayer")->setCurrentIndex(1);
    s.click("cmdAddLabel");
    const host::memory::TextData& first = *s.design->texts.at(2);
    EXPECT_EQ(std::tuple(first.text, first.layer, first.x, first.y, first.height, first.lineWidth,
                         first.rotation),
              std::tuple(u"{1}", 2, 110.0, 195.0, 20.0, 2.0, 90.0));
}

TEST(Handlers, DeleteAndLocatePassOnWhatTheyReport) {
    Session s;
    s.click("cmdAddLabel");
    s.takeMessages();
    s.design->texts[0]->locked = true; // {NOTE}
    s.select("lstCompList", 1);
    s.click("cmdDeleteLabel");
    EXPECT_EQ(s.takeMessages(), Messages({{"删除 管脚号{NOTE} 时发生错误，请手工删除！"}}));
    EXPECT_TRUE(s.addedTexts().empty());

    s.click("cmdLocateComp");
    EXPECT_EQ(std::tuple(s.design->components[0].selected, s.design->components[1].selected),
              std::tuple(false, true));
    EXPECT_TRUE(s.control<QListWidget>("lstCompList")->item(1)->isSelected()) << "the choice stays";

    s.design->components[0].name = u"U9";
    s.click("cmdLocateComp");
    EXPECT_EQ(s.takeMessages(),
              Messages({{QString::fromStdU16String(maintenance::staleListMessage)}}));
}

// A failure no handler expects is reported with its number and description; what was done
// stays done and the window goes on working.
TEST(Handlers, UncaughtFailuresAreReportedAndTheProgramLivesOn) {
    const std::tuple<const char*, std::function<void(Session&)>, QString, std::size_t> cases[] = {
        {"a lone minus sign", [](Session& s) { s.setText("txtLabelOffsetY", "-"); },
         "运行时错误 '13':\n类型不匹配", 0},
        {"host fails at the second label",
         [](Session& s) {
             s.log->beforeCall = [seen = 0](const host::RecordedCall& call) mutable {
                 if (call.member == u"AddText" && ++seen == 2)
                     throw host::Failure(1004, u"应用程序定义或对象定义错误");
             };
         },
         "运行时错误 '1004':\n应用程序定义或对象定义错误", 1},
    };
    for (const auto& [what, arrange, report, labelsLeft] : cases) {
        SCOPED_TRACE(what);
        Session s;
        arrange(s);
        s.click("cmdAddLabel");
        EXPECT_EQ(s.takeMessages(), Messages({{report}}));
        EXPECT_EQ(s.addedTexts().size(), labelsLeft);
        EXPECT_EQ(s.programEnds, 0);

        // With the cause gone the same window labels the board.
        s.log->beforeCall = nullptr;
        s.setText("txtLabelOffsetY", "");
        s.click("cmdAddLabel");
        EXPECT_EQ(s.addedTexts().size(), labelsLeft + 5);
    }
}

} // namespace
