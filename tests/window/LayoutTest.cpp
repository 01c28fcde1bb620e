#include "WindowHarness.h"

#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

// The window as designed, in twips relative to the container; page controls are placed in
// the tab control's coordinates, whichever page (1 to 3 here, 0 elsewhere) holds them.
struct DesignedControl {
    const char* name;
    const char* kind;
    const char* caption;
    const char* container;
    int page;
    int left, top, width, height;
};
const DesignedControl description[] = {
    {"Frame1", "QGroupBox", "标注类型", "frmTagwright", 0, 120, 120, 5055, 660},
    {"Frame2", "QGroupBox", "距焊盘偏移量", "frmTagwright", 0, 120, 960, 1335, 1095},
    {"Frame4", "QGroupBox", "标注字体", "frmTagwright", 0, 1640, 960, 1455, 1095},
    {"Label3", "QLabel", "旋 转", "frmTagwright", 0, 3240, 1155, 615, 255},
    {"cboLabelRotation", "QComboBox", "", "frmTagwright", 0, 3840, 1080, 975, 345},
    {"Label1", "QLabel", "标注层", "frmTagwright", 0, 3240, 1515, 615, 255},
    {"cboLabelLayer", "QComboBox", "", "frmTagwright", 0, 3240, 1755, 1935, 300},
    {"tabObjList", "QTabWidget", "", "frmTagwright", 0, 120, 2160, 3615, 2415},
    {"cmdAddLabel", "QPushButton", "标  注", "frmTagwright", 0, 4080, 2280, 1095, 375},
    {"cmdDeleteLabel", "QPushButton", "删  除", "frmTagwright", 0, 4080, 2700, 1095, 375},
    {"cmdUpdateList", "QPushButton", "更新列表", "frmTagwright", 0, 4080, 3120, 1095, 375},
    {"cmdHelp", "QPushButton", "帮  助", "frmTagwright", 0, 4080, 3540, 1095, 375},
    {"cmdClose", "QPushButton", "关  闭", "frmTagwright", 0, 4080, 3960, 1095, 375},
    {"optLabelType_0", "QRadioButton", "网络名称", "Frame1", 0, 240, 280, 1095, 255},
    {"optLabelType_1", "QRadioButton", "管脚号", "Frame1", 0, 1920, 280, 855, 255},
    {"optLabelType_2", "QRadioButton", "网络类型", "Frame1", 0, 3480, 280, 1095, 255},
    {"Label4_0", "QLabel", "X", "Frame2", 0, 180, 405, 135, 255},
    {"txtLabelOffsetX", "QLineEdit", "", "Frame2", 0, 400, 360, 495, 270},
    {"Label5_0", "QLabel", "mil", "Frame2", 0, 980, 360, 255, 255},
    {"Label4_1", "QLabel", "Y", "Frame2", 0, 180, 765, 135, 255},
    {"txtLabelOffsetY", "QLineEdit", "", "Frame2", 0, 400, 720, 495, 270},
    {"Label5_1", "QLabel", "mil", "Frame2", 0, 980, 720, 255, 255},
    {"Label4_3", "QLabel", "高度", "Frame4", 0, 140, 400, 375, 255},
    {"txtLabelFontH", "QLineEdit", "15", "Frame4", 0, 600, 360, 380, 270},
    {"Label5_3", "QLabel", "mil", "Frame4", 0, 1020, 375, 255, 255},
    {"Label4_2", "QLabel", "线宽", "Frame4", 0, 140, 765, 375, 180},
    {"txtLabelFontW", "QLineEdit", "1", "Frame4", 0, 600, 720, 380, 270},
    {"Label5_2", "QLabel", "mil", "Frame4", 0, 1020, 735, 255, 255},
    {"lstCompList", "QListWidget", "", "tabObjList", 1, 80, 480, 1455, 1860},
    {"chkSelectedComp", "QCheckBox", "标注选中器件", "tabObjList", 1, 1800, 600, 1455, 375},
    {"chkUnUsedPins", "QCheckBox", "无网络管脚", "tabObjList", 1, 1800, 960, 1455, 375},
    {"chkVias", "QCheckBox", "过孔", "tabObjList", 1, 1800, 1320, 1095, 375},
    {"cmdLocateComp", "QPushButton", "定 位", "tabObjList", 1, 1800, 1800, 735, 255},
    {"lstNetList", "QListWidget", "", "tabObjList", 2, 80, 480, 1455, 1860},
    {"chkSelectedNets", "QCheckBox", "标注选中网络", "tabObjList", 2, 1800, 600, 1455, 375},
    {"cmdLocateNet", "QPushButton", "定 位", "tabObjList", 2, 1800, 1080, 735, 255},
    {"lstNetClassList", "QListWidget", "", "tabObjList", 3, 80, 480, 1455, 1860},
    {"chkSelectedNetClasses", "QCheckBox", "标注选中类型", "tabObjList", 3, 1800, 600, 1455, 375},
};

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

// Each caption must be drawable at 9 pt in the font its control ends up with.
void expectLegible(const QWidget* widget, const QString& text) {
    EXPECT_EQ(QFontInfo(widget->font()).pointSize(), 9);
    const QFontMetrics metrics(widget->font());
    for (const QChar c : text)
        EXPECT_TRUE(c.isSpace() || metrics.inFont(c)) << "no glyph for " << int(c.unicode());
}

TEST(Layout, EveryControlAsDescribed) {
    test::WindowHarness harness;
    harness.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(harness.window.get()));
    auto* tabs = harness.control<QTabWidget>("tabObjList");
    for (const DesignedControl& designed : description) {
        SCOPED_TRACE(designed.name);
        QWidget* widget = harness.control(designed.name);
        QWidget* container = harness.control(designed.container);
        EXPECT_STREQ(widget->metaObject()->className(), designed.kind);
        EXPECT_EQ(captionOf(widget), QString::fromUtf8(designed.caption));
        EXPECT_EQ(widget->parentWidget(), designed.page ? tabs->widget(designed.page - 1) : container);
        const auto px = [](int twips) { return qRound(twips / 15.0); };
        EXPECT_EQ(QRect(widget->mapTo(container, QPoint()), widget->size()),
                  QRect(px(designed.left), px(designed.top), px(designed.width), px(designed.height)));
        expectLegible(widget, captionOf(widget));
    }
    const QStringList pages = {"元器件", "网络", "网络类型"};
    ASSERT_EQ(tabs->count(), 3);
    for (int page = 0; page < 3; ++page) {
        EXPECT_EQ(tabs->tabText(page), pages[page]);
        expectLegible(tabs->tabBar(), pages[page]);
    }
    // Where SimSun is missing the simplified Chinese face is asked for by name.
    EXPECT_TRUE(harness.control("Frame1")->font().families().contains("Noto Sans CJK SC"));
}

TEST(Layout, FixedDialogFrameWithItsOwnIcon) {
    test::WindowHarness harness;
    const window::frmTagwright& form = *harness.window;
    EXPECT_EQ(form.windowTitle(), "Tagwright ");
    EXPECT_EQ(form.minimumSize(), QSize(353, 310));
    EXPECT_EQ(form.maximumSize(), QSize(353, 310));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.windowIcon().availableSizes(), QList<QSize>({{32, 32}, {16, 16}}));
}

// The named control that has the focus, or owns the widget that has it.
QString focusedControl() {
    QWidget* w = QApplication::focusWidget();
    while (w != nullptr && (w->objectName().isEmpty() || w->objectName().startsWith("qt_")))
        w = w->parentWidget();
    return w != nullptr ? w->objectName() : QString();
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

// The designed order, not the visual one; controls on the pages behind the one in front are
// hidden and take no focus, nor do disabled ones or the options not chosen.
TEST(Layout, TabKeyFollowsTheDesignedOrder) {
    test::WindowHarness harness;
    ASSERT_TRUE(harness.window->Form_Load());
    harness.window->show();
    harness.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(harness.window.get()));
    const QStringList head = {"cboLabelLayer",    "txtLabelOffsetX", "txtLabelOffsetY",
                              "cmdAddLabel",      "cmdDeleteLabel",  "cmdHelp",
                              "cboLabelRotation", "txtLabelFontW",   "txtLabelFontH",
                              "cmdUpdateList",    "tabObjList"};
    const QStringList pinNumbers =
        QStringList{"optLabelType_1"} + head +
        QStringList{"lstCompList", "chkSelectedComp", "chkUnUsedPins", "cmdClose", "cmdLocateComp"};
    EXPECT_EQ(tabCycle(harness.control("optLabelType_1")), pinNumbers);

    harness.click("optLabelType_0");
    const QStringList netNames =
        QStringList{"optLabelType_0"} + head +
        QStringList{"lstNetList", "chkSelectedNets", "cmdClose", "cmdLocateNet"};
    EXPECT_EQ(tabCycle(harness.control("optLabelType_0")), netNames);
}

} // namespace
