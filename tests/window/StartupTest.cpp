#include "WindowHarness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

const test::Message attachNotice = {"请先打开一个PCB设计文件!", "提示"};

QStringList entries(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QStringList entries(const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

int selectedCount(const QListWidget* list) {
    return int(list->selectedItems().size());
}

class Startup : public testing::Test {
  protected:
    QListWidget* list(const char* name) const { return harness.control<QListWidget>(name); }
    QComboBox* combo(const char* name) const { return harness.control<QComboBox>(name); }
    QTabWidget* tabs() const { return harness.control<QTabWidget>("tabObjList"); }
    QAbstractButton* button(const char* name) const {
        return harness.control<QAbstractButton>(name);
    }

    test::WindowHarness harness;
};

TEST_F(Startup, LoadFillsTheListsInHostOrderAndSetsTheStartState) {
    ASSERT_TRUE(harness.window->Form_Load());

    EXPECT_EQ(entries(list("lstCompList")), QStringList({"U1", "R1"}));
    EXPECT_EQ(entries(list("lstNetList")), QStringList({"GND", "SDA", "NC1"}));
    EXPECT_EQ(entries(list("lstNetClassList")), QStringList({"POWER", "SIGNAL"}));
    EXPECT_EQ(entries(combo("cboLabelLayer")), QStringList({"Top", "Bottom", "Silkscreen Top"}));
    for (const char* name : {"lstCompList", "lstNetList", "lstNetClassList"})
        EXPECT_EQ(selectedCount(list(name)), 0) << name;

    EXPECT_EQ(combo("cboLabelLayer")->currentIndex(), 0);
    EXPECT_EQ(combo("cboLabelRotation")->currentText(), "00");
    EXPECT_EQ(harness.window->labelTypeIndex(), 1);
    EXPECT_TRUE(button("optLabelType_1")->isChecked());
    EXPECT_FALSE(button("optLabelType_0")->isChecked());
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_FALSE(tabs()->isTabEnabled(1));
    EXPECT_FALSE(tabs()->isTabEnabled(2));
    EXPECT_TRUE(button("chkUnUsedPins")->isEnabled());
    EXPECT_FALSE(button("chkVias")->isEnabled());
    EXPECT_TRUE(harness.takeMessages().empty());
    EXPECT_EQ(harness.programEnds, 0);

    // One name read per member and one per layer, nothing more.
    EXPECT_EQ(harness.log->count(u"Name"), 7u);
    EXPECT_EQ(harness.log->count(u"LayerName"), 3u);
    EXPECT_EQ(harness.log->count(u"ActiveDocument"), 1u);
}

TEST_F(Startup, ListsKeepDuplicatesAndMayBeEmpty) {
    test::WindowHarness sparse(R"({"layers": ["Only"], "components": [
        {"name": "U1", "pins": []}, {"name": "U1", "pins": []}, {"name": "", "pins": []}]})");
    ASSERT_TRUE(sparse.window->Form_Load());
    EXPECT_EQ(entries(sparse.control<QListWidget>("lstCompList")), QStringList({"U1", "U1", ""}));
    EXPECT_EQ(sparse.control<QListWidget>("lstNetList")->count(), 0);
    EXPECT_EQ(sparse.control<QListWidget>("lstNetClassList")->count(), 0);
    EXPECT_TRUE(sparse.takeMessages().empty());
}

// Every way the attachment can fail ends the same: the notice, then the program's end, and the
// window is never shown.
TEST(StartupFailure, EndsWithTheNoticeBeforeTheWindowIsShown) {
    struct Case {
        const char* what;
        const char* design;
        std::function<void(test::WindowHarness&)> arrange;
    };
    const Case cases[] = {
        {"no editor running", test::smallBoard,
         [](test::WindowHarness& h) { h.editorRunning = false; }},
        {"no design open", test::smallBoard, [](test::WindowHarness& h) { h.designOpen = false; }},
        {"no layers", R"({"layers": [], "nets": [{"name": "GND"}]})", {}},
        {"a host call fails", test::smallBoard,
         [](test::WindowHarness& h) {
             h.log->beforeCall = [](const host::RecordedCall& call) {
                 if (call.member == u"NetClasses")
                     throw host::Failure(-2147418113, u"灾难性故障");
             };
         }},
        {"the attach throws something else", test::smallBoard,
         [](test::WindowHarness& h) { h.onAttach = [] { throw std::runtime_error("bus"); }; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WindowHarness harness(c.design);
        if (c.arrange)
            c.arrange(harness);
        EXPECT_FALSE(harness.window->Form_Load());
        EXPECT_EQ(harness.takeMessages(), std::vector<test::Message>{attachNotice});
        EXPECT_EQ(harness.programEnds, 1);
        EXPECT_FALSE(harness.window->isVisible());
    }
}

TEST_F(Startup, RefreshRebuildsTheListsAndKeepsEverythingElse) {
    ASSERT_TRUE(harness.window->Form_Load());
    button("optLabelType_2")->click();
    tabs()->setCurrentIndex(0);
    combo("cboLabelRotation")->setEditText("180");
    combo("cboLabelLayer")->setCurrentIndex(2);
    harness.control<QLineEdit>("txtLabelOffsetX")->setText("10");
    harness.control<QLineEdit>("txtLabelFontH")->setText("20");
    for (const char* name : {"chkSelectedComp", "chkUnUsedPins", "chkSelectedNetClasses"})
        button(name)->setChecked(true);
    list("lstNetList")->item(0)->setSelected(true);
    list("lstCompList")->item(1)->setSelected(true);

    harness.design->components.pop_back();
    harness.design->nets[0].name = u"AGND";
    harness.design->layers.push_back(u"Assembly");
    button("cmdUpdateList")->click();

    EXPECT_EQ(entries(list("lstCompList")), QStringList({"U1"}));
    EXPECT_EQ(entries(list("lstNetList")), QStringList({"AGND", "SDA", "NC1"}));
    EXPECT_EQ(entries(combo("cboLabelLayer")),
              QStringList({"Top", "Bottom", "Silkscreen Top", "Assembly"}));
    EXPECT_EQ(combo("cboLabelLayer")->currentIndex(), 0);
    EXPECT_EQ(selectedCount(list("lstNetList")), 0);

    EXPECT_EQ(harness.window->labelTypeIndex(), 2);
    EXPECT_TRUE(button("optLabelType_2")->isChecked());
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_FALSE(tabs()->isTabEnabled(1));
    EXPECT_TRUE(tabs()->isTabEnabled(2));
    EXPECT_EQ(combo("cboLabelRotation")->currentText(), "180");
    EXPECT_EQ(harness.control<QLineEdit>("txtLabelOffsetX")->text(), "10");
    EXPECT_EQ(harness.control<QLineEdit>("txtLabelFontH")->text(), "20");
    for (const char* name : {"chkSelectedComp", "chkUnUsedPins", "chkSelectedNetClasses"})
        EXPECT_TRUE(button(name)->isChecked()) << name;
    EXPECT_FALSE(button("chkVias")->isChecked());
    EXPECT_TRUE(harness.takeMessages().empty());
    EXPECT_EQ(harness.programEnds, 0);
}

TEST_F(Startup, RefreshAfterTheEditorWentAwayEmptiesTheListsFirstThenEnds) {
    ASSERT_TRUE(harness.window->Form_Load());
    harness.editorRunning = false;
    std::vector<int> countsAtAttach;
    harness.onAttach = [&] {
        for (const char* name : {"lstCompList", "lstNetList", "lstNetClassList"})
            countsAtAttach.push_back(list(name)->count());
        countsAtAttach.push_back(combo("cboLabelLayer")->count());
    };
    button("cmdUpdateList")->click();
    EXPECT_EQ(countsAtAttach, std::vector<int>({0, 0, 0, 0}));
    EXPECT_EQ(harness.takeMessages(), std::vector<test::Message>{attachNotice});
    EXPECT_EQ(harness.programEnds, 1);
}

TEST_F(Startup, AboutTextAgainAndAgainWithoutTheEditor) {
    harness.editorRunning = false;
    const QString about = QStringLiteral(
        "版本：1.0       \r\n\r\n运行错误或改进建议请联系：  \r\n\r\nsupport@tagwright.invalid");
    button("cmdHelp")->click();
    button("cmdHelp")->click();
    const std::vector<test::Message> twice = {{about, "Tagwright"}, {about, "Tagwright"}};
    EXPECT_EQ(harness.takeMessages(), twice);
    EXPECT_TRUE(harness.log->calls.empty());
    EXPECT_EQ(harness.programEnds, 0);
}

TEST_F(Startup, CloseButtonAndCloseBoxEndTheProgramWithoutAQuestion) {
    ASSERT_TRUE(harness.window->Form_Load());
    harness.window->show();
    button("cmdClose")->click();
    EXPECT_EQ(harness.programEnds, 1);
    harness.window->close();
    EXPECT_EQ(harness.programEnds, 2);
    EXPECT_TRUE(harness.takeMessages().empty());
}

// The real message box: modal, OK only, no icon, with the title and text given.
TEST(MessageBoxes, ModalOkOnlyNoIcon) {
    QWidget owner;
    window::MessageBoxes boxes(&owner);
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "提示");
        EXPECT_EQ(box->text(), "请先打开一个PCB设计文件!");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        inspected = true;
        box->accept();
    });
    boxes.show("请先打开一个PCB设计文件!", "提示");
    EXPECT_TRUE(inspected);
}

} // namespace
