#include "WindowHarness.h"

#include "window/EntryFilter.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

using namespace tagwright;

namespace {

struct Field {
    const char* name;
    bool minusAllowed;
    void (window::frmTagwright::*keyPress)(std::int16_t&);
};
const Field fields[] = {
    {"txtLabelFontH", true, &window::frmTagwright::txtLabelFontH_KeyPress},
    {"txtLabelFontW", true, &window::frmTagwright::txtLabelFontW_KeyPress},
    {"txtLabelOffsetX", true, &window::frmTagwright::txtLabelOffsetX_KeyPress},
    {"txtLabelOffsetY", true, &window::frmTagwright::txtLabelOffsetY_KeyPress},
    {"cboLabelRotation", false, &window::frmTagwright::cboLabelRotation_KeyPress},
};

class EntryFilter : public testing::Test {
  protected:
    // The field that takes the typing: a text box, or the combo box itself.
    QWidget* target(const Field& field) const { return harness.control(field.name); }
    QLineEdit* edit(const Field& field) const {
        QWidget* widget = target(field);
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            return combo->lineEdit();
        return static_cast<QLineEdit*>(widget);
    }

    static void type(QWidget* widget, const QString& text) {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), {});
    }

    test::WindowHarness harness;
};

TEST_F(EntryFilter, HandlersPassOnlyTheCodesOfANumber) {
    std::set<int> numberCodes = {1, 8, '.'};
    for (int c = '0'; c <= '9'; ++c)
        numberCodes.insert(c);
    std::vector<int> codes;
    for (int c = -200; c < 300; ++c)
        codes.push_back(c);
    for (int c : {0x4e2d, 0x7fff, -0x8000})
        codes.push_back(c);

    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        for (int code : codes) {
            auto keyAscii = static_cast<std::int16_t>(code);
            (harness.window.get()->*field.keyPress)(keyAscii);
            const bool accepted =
                numberCodes.count(code) != 0 || (code == '-' && field.minusAllowed);
            EXPECT_EQ(keyAscii, accepted ? code : 0) << "code " << code;
        }
    }
}

TEST_F(EntryFilter, TypedCharactersReachTheFieldOnlyWhenAccepted) {
    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        edit(field)->clear();
        type(target(field), QStringLiteral("-1a2.-E e+3, 4中\r\x1b"));
        EXPECT_EQ(edit(field)->text(), field.minusAllowed ? "-12.-34" : "12.34");
    }
}

TEST_F(EntryFilter, EditingKeysKeepWorking) {
    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        QWidget* widget = target(field);
        edit(field)->clear();
        type(widget, "123");
        QTest::keyClick(widget, Qt::Key_Backspace);
        EXPECT_EQ(edit(field)->text(), "12");
        QTest::keyClick(widget, Qt::Key_Home);
        QTest::keyClick(widget, Qt::Key_Delete);
        EXPECT_EQ(edit(field)->text(), "2");
        // Ctrl+A selects everything, so the next digit replaces it.
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        type(widget, "7");
        EXPECT_EQ(edit(field)->text(), "7");
        // Other control characters, such as the paste shortcut, are dropped.
        QTest::keyClick(widget, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit(field)->text(), "7");
    }
}

TEST_F(EntryFilter, InputMethodCommitsAreFilteredLikeTyping) {
    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        edit(field)->clear();
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("中-5文.5"));
        QCoreApplication::sendEvent(edit(field), &commit);
        EXPECT_EQ(edit(field)->text(), field.minusAllowed ? "-5.5" : "5.5");
    }
}

TEST_F(EntryFilter, RotationListKeepsItsFourItems) {
    auto* rotation = harness.control<QComboBox>("cboLabelRotation");
    type(rotation, "45");
    QTest::keyClick(rotation, Qt::Key_Return);
    EXPECT_EQ(rotation->count(), 4);
    EXPECT_EQ(rotation->currentText(), "45");
    // Picking an item does not go through the filter.
    rotation->setCurrentIndex(0);
    EXPECT_EQ(rotation->currentText(), "00");
}

} // namespace
