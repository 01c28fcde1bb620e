#include "WindowHarness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

// The window as designed. Positions in twips relative to the container; a page control's
// container is the tab control itself, whichever page holds it.
struct ControlSpec {
    const char* name;
    const char* kind;
    const char* caption;
    const char* container;
    int page; // tab page holding the control, -1 elsewhere
    int left, top, width, height;
};

const ControlSpec description[] = {
    {"Frame1", "QGroupBox", "标注类型", "frmTagwright", -1, 120, 120, 5055, 660},
    {"Frame2", "QGroupBox", "距焊盘偏移量", "frmTagwright", -1, 120, 960, 1335, 1095},
    {"Frame4", "QGroupBox", "标注字体", "frmTagwright", -1, 1640, 960, 1455, 1095},
    {"Label3", "QLabel", "旋 转", "frmTagwright", -1, 3240, 1155, 615, 255},
    {"cboLabelRotation", "QComboBox", "", "frmTagwright", -1, 3840, 1080, 975, 345},
    {"Label1", "QLabel", "标注层", "frmTagwright", -1, 3240, 1515, 615, 255},
    {"cboLabelLayer", "QComboBox", "", "frmTagwright", -1, 3240, 1755, 1935, 300},
    {"tabObjList", "QTabWidget", "", "frmTagwright", -1, 120, 2160, 3615, 2415},
    {"cmdAddLabel", "QPushButton", "标  注", "frmTagwright", -1, 4080, 2280, 1095, 375},
    {"cmdDeleteLabel", "QPushButton", "删  除", "frmTagwright", -1, 4080, 2700, 1095, 375},
    {"cmdUpdateList", "QPushButton", "更新列表", "frmTagwright", -1, 4080, 3120, 1095, 375},
    {"cmdHelp", "QPushButton", "帮  助", "frmTagwright", -1, 4080, 3540, 1095, 375},
    {"cmdClose", "QPushButton", "关  闭", "frmTagwright", -1, 4080, 3960, 1095, 375},
    {"optLabelType_0", "QRadioButton", "网络名称", "Frame1", -1, 240, 280, 1095, 255},
    {"optLabelType_1", "QRadioButton", "管脚号", "Frame1", -1, 1920, 280, 855, 255},
    {"optLabelType_2", "QRadioButton", "网络类型", "Frame1", -1, 3480, 280, 1095, 255},
    {"Label4_0", "QLabel", "X", "Frame2", -1, 180, 405, 135, 255},
    {"txtLabelOffsetX", "QLineEdit", "", "Frame2", -1, 400, 360, 495, 270},
    {"Label5_0", "QLabel", "mil", "Frame2", -1, 980, 360, 255, 255},
    {"Label4_1", "QLabel", "Y", "Frame2", -1, 180, 765, 135, 255},
    {"txtLabelOffsetY", "QLineEdit", "", "Frame2", -1, 400, 720, 495, 270},
    {"Label5_1", "QLabel", "mil", "Frame2", -1, 980, 720, 255, 255},
    {"Label4_3", "QLabel", "高度", "Frame4", -1, 140, 400, 375, 255},
    {"txtLabelFontH", "QLineEdit", "15", "Frame4", -1, 600, 360, 380, 270},
    {"Label5_3", "QLabel", "mil", "Frame4", -1, 1020, 375, 255, 255},
    {"Label4_2", "QLabel", "线宽", "Frame4", -1, 140, 765, 375, 180},
    {"txtLabelFontW", "QLineEdit", "1", "Frame4", -1, 600, 720, 380, 270},
    {"Label5_2", "QLabel", "mil", "Frame4", -1, 1020, 735, 255, 255},
    {"lstCompList", "QListWidget", "", "tabObjList", 0, 80, 480, 1455, 1860},
    {"chkSelectedComp", "QCheckBox", "标注选中器件", "tabObjList", 0, 1800, 600, 1455, 375},
    {"chkUnUsedPins", "QCheckBox", "无网络管脚", "tabObjList", 0, 1800, 960, 1455, 375},
    {"chkVias", "QCheckBox", "过孔", "tabObjList", 0, 1800, 1320, 1095, 375},
    {"cmdLocateComp", "QPushButton", "定 位", "tabObjList", 0, 1800, 1800, 735, 255},
    {"lstNetList", "QListWidget", "", "tabObjList", 1, 80, 480, 1455, 1860},
    {"chkSelectedNets", "QCheckBox", "标注选中网络", "tabObjList", 1, 1800, 600, 1455, 375},
    {"cmdLocateNet", "QPushButton", "定 位", "tabObjList", 1, 1800, 1080, 735, 255},
    {"lstNetClassList", "QListWidget", "", "tabObjList", 2, 80, 480, 1455, 1860},
    {"chkSelectedNetClasses", "QCheckBox", "标注选中类型", "tabObjList", 2, 1800, 600, 1455, 375},
};

int pixels(int twips) {
    return qRound(twips / 15.0);
}

QString captionOf(const QWidget* widget) {
    if (auto* frame = qobject_cast<const QGroupBox*>(widget))
        return frame->title();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto* field = qobject_cast<const QLineEdit*>(widget))
        return field->text();
    return {};
}

class WindowLayout : public testing::Test {
  protected:
    test::WindowHarness harness;
};

TEST_F(WindowLayout, EveryControlAsDescribed) {
    harness.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(harness.window.get()));
    auto* tabs = harness.control<QTabWidget>("tabObjList");
    for (const ControlSpec& spec : description) {
        SCOPED_TRACE(spec.name);
        QWidget* widget = harness.control(spec.name);
        EXPECT_STREQ(widget->metaObject()->className(), spec.kind);
        EXPECT_EQ(captionOf(widget), QString::fromUtf8(spec.caption));

        QWidget* container = harness.control(spec.container);
        if (spec.page >= 0)
            EXPECT_EQ(widget->parentWidget(), tabs->widget(spec.page));
        else
            EXPECT_EQ(widget->parentWidget(), container);
        const QRect expected(pixels(spec.left), pixels(spec.top), pixels(spec.width),
                             pixels(spec.height));
        EXPECT_EQ(QRect(widget->mapTo(container, QPoint()), widget->size()), expected);
    }
}

TEST_F(WindowLayout, FixedDialogFrameWithItsOwnIcon) {
    window::frmTagwright& form = *harness.window;
    EXPECT_EQ(form.objectName(), "frmTagwright");
    EXPECT_EQ(form.windowTitle(), "Tagwright ");
    EXPECT_EQ(form.minimumSize(), QSize(353, 310));
    EXPECT_EQ(form.maximumSize(), QSize(353, 310));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    const QList<QSize> sizes = form.windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
}

TEST_F(WindowLayout, TabPagesAndTheirCaptions) {
    auto* tabs = harness.control<QTabWidget>("tabObjList");
    ASSERT_EQ(tabs->count(), 3);
    const char* captions[] = {"元器件", "网络", "网络类型"};
    for (int page = 0; page < 3; ++page)
        EXPECT_EQ(tabs->tabText(page), QString::fromUtf8(captions[page]));
}

// Every caption must be drawn with glyphs of the font its control ends up with, at 9 pt.
TEST_F(WindowLayout, FontsShowEveryCaptionAtNinePoints) {
    auto* tabs = harness.control<QTabWidget>("tabObjList");
    std::vector<std::pair<const QWidget*, QString>> texts;
    for (const ControlSpec& spec : description) {
        const QWidget* widget = harness.control(spec.name);
        texts.emplace_back(widget, captionOf(widget));
    }
    for (int page = 0; page < 3; ++page)
        texts.emplace_back(tabs->tabBar(), tabs->tabText(page));
    texts.emplace_back(harness.window.get(), harness.window->windowTitle());

    for (const auto& [widget, text] : texts) {
        SCOPED_TRACE(widget->objectName().toStdString() + " " + text.toStdString());
        EXPECT_EQ(QFontInfo(widget->font()).pointSize(), 9);
        const QFontMetrics metrics(widget->font());
        for (const QChar c : text)
            EXPECT_TRUE(c.isSpace() || metrics.inFont(c)) << "no glyph for " << int(c.unicode());
    }
    // Where SimSun is missing the simplified face is asked for by name.
    EXPECT_EQ(harness.control("Frame1")->font().families().value(0), "SimSun");
    EXPECT_TRUE(harness.control("Frame1")->font().families().contains("Noto Sans CJK SC"));
    EXPECT_EQ(harness.window->font().families().value(0), "Times New Roman");
}

TEST_F(WindowLayout, StateAsCreatedBeforeLoad) {
    for (const char* name : {"lstCompList", "lstNetList", "lstNetClassList"}) {
        SCOPED_TRACE(name);
        auto* list = harness.control<QListWidget>(name);
        EXPECT_EQ(list->count(), 0);
        EXPECT_FALSE(list->isSortingEnabled());
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    }
    auto* layers = harness.control<QComboBox>("cboLabelLayer");
    EXPECT_FALSE(layers->isEditable());
    EXPECT_EQ(layers->count(), 0);

    auto* rotation = harness.control<QComboBox>("cboLabelRotation");
    EXPECT_TRUE(rotation->isEditable());
    QStringList items;
    for (int i = 0; i < rotation->count(); ++i)
        items << rotation->itemText(i);
    EXPECT_EQ(items, QStringList({"00", "90", "180", "270"}));
    EXPECT_EQ(rotation->currentText(), "");

    for (const char* name : {"chkSelectedComp", "chkUnUsedPins", "chkVias", "chkSelectedNets",
                             "chkSelectedNetClasses"}) {
        SCOPED_TRACE(name);
        auto* box = harness.control<QAbstractButton>(name);
        EXPECT_FALSE(box->isChecked());
        EXPECT_TRUE(box->isEnabled());
    }
    for (const char* name : {"optLabelType_0", "optLabelType_1", "optLabelType_2"})
        EXPECT_FALSE(harness.control<QAbstractButton>(name)->isChecked()) << name;

    auto* tabs = harness.control<QTabWidget>("tabObjList");
    EXPECT_EQ(tabs->currentIndex(), 1);
    for (int page = 0; page < 3; ++page)
        EXPECT_TRUE(tabs->isTabEnabled(page));
    EXPECT_EQ(harness.window->labelTypeIndex(), 0);
}

// The named control that has the focus, or owns the widget that has it.
QString focusedControl() {
    for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_"))
            return w->objectName();
    }
    return {};
}

QStringList tabCycle(QWidget* start) {
    start->setFocus(Qt::TabFocusReason);
    QStringList visited{focusedControl()};
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (focusedControl() == visited.front())
            break;
        visited << focusedControl();
    }
    return visited;
}

// Focus follows the designed order, not the visual one; controls on the pages behind the one
// in front are hidden and so take no focus, nor do disabled ones.
TEST_F(WindowLayout, TabKeyFollowsTheDesignedOrder) {
    ASSERT_TRUE(harness.window->Form_Load());
    harness.window->show();
    harness.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(harness.window.get()));

    const QStringList sharedHead = {"cboLabelLayer",    "txtLabelOffsetX", "txtLabelOffsetY",
                                    "cmdAddLabel",      "cmdDeleteLabel",  "cmdHelp",
                                    "cboLabelRotation", "txtLabelFontW",   "txtLabelFontH",
                                    "cmdUpdateList",    "tabObjList"};
    const QStringList afterLoad =
        QStringList{"optLabelType_1"} + sharedHead +
        QStringList{"lstCompList", "chkSelectedComp", "chkUnUsedPins", "cmdClose", "cmdLocateComp"};
    EXPECT_EQ(tabCycle(harness.control("optLabelType_1")), afterLoad);

    harness.control<QAbstractButton>("optLabelType_0")->click();
    const QStringList netsInFront =
        QStringList{"optLabelType_0"} + sharedHead +
        QStringList{"lstNetList", "chkSelectedNets", "cmdClose", "cmdLocateNet"};
    EXPECT_EQ(tabCycle(harness.control("optLabelType_0")), netsInFront);

    harness.control<QTabWidget>("tabObjList")->setCurrentIndex(0);
    const QStringList componentsInFront =
        QStringList{"optLabelType_0"} + sharedHead +
        QStringList{"lstCompList", "chkSelectedComp", "cmdClose", "chkVias", "cmdLocateComp"};
    EXPECT_EQ(tabCycle(harness.control("optLabelType_0")), componentsInFront);
}

} // namespace
