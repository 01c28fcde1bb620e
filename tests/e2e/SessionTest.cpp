// The real window attached over the session bus to the stand-in editor, run as its own
// process on a copy of the sample board: what a user does, checked in the file it saves.
#include "host/Attach.h"
#include "support/BusHarness.h"
#include "window/qt/WindowHarness.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

using namespace tagwright;
using host::memory::Design;
using tagwright::testing::StandinProcess;
using Messages = test::MessageLog;

namespace {

struct Label {
    std::u16string text;
    double x, y;
    friend bool operator==(const Label&, const Label&) = default;
    friend void PrintTo(const Label& l, std::ostream* out) {
        *out << QString::fromStdU16String(l.text).toStdString() << " (" << l.x << ", " << l.y
             << ")";
    }
};

std::vector<Label> marked(const Design& design) {
    std::vector<Label> labels;
    for (const auto& t : design.texts) {
        if (!t->deleted && t->text.size() >= 2 && t->text.front() == u'{' &&
            t->text.back() == u'}') {
            labels.push_back({t->text, t->x, t->y});
        }
    }
    return labels;
}

class SessionTest : public ::testing::Test {
  protected:
    void startSession() {
        if (!QFile::exists(path)) {
            ASSERT_TRUE(tagwright::testing::copyDemoBoard(path));
        }
        editor = std::make_unique<StandinProcess>(QStringList{path});
        ASSERT_TRUE(editor->waitUntilServing()) << editor->errors().toStdString();
        session.emplace(host::attachRunningEditor);
        ASSERT_TRUE(session->form().Form_Load());
    }
    // The editor writes the design back when it is stopped.
    Design endSession() {
        session.reset();
        editor->sendSignal(SIGTERM);
        EXPECT_EQ(editor->waitForExit(), 0) << editor->errors().toStdString();
        return host::memory::loadDesign(path.toStdString());
    }

    QTemporaryDir dir;
    QString path = dir.filePath("board.json");
    std::unique_ptr<StandinProcess> editor;
    std::optional<test::WindowUnderTest> session;
};

// Over the bus each label type places what it places on the same board held in memory, whose
// rules are tested on their own.
TEST_F(SessionTest, EachLabelTypeLandsInTheSavedDesign) {
    QFile board(DEMO_BOARD);
    ASSERT_TRUE(board.open(QIODevice::ReadOnly));
    const std::string json = board.readAll().toStdString();
    for (const char* option : {"optLabelType_0", "optLabelType_1", "optLabelType_2"}) {
        SCOPED_TRACE(option);
        const auto addLabels = [option](test::WindowUnderTest& w) {
            w.click(option);
            w.tick("chkVias");
            w.setText("txtLabelOffsetX", "10");
            w.setText("txtLabelOffsetY", "-5");
            w.click("cmdAddLabel");
        };
        test::WindowHarness inMemory(json);
        ASSERT_TRUE(inMemory.form().Form_Load());
        addLabels(inMemory);

        QFile::remove(path);
        startSession();
        addLabels(*session);
        const Messages shown = session->takeMessages();
        const Design saved = endSession();
        EXPECT_GT(marked(saved).size(), 20u);
        EXPECT_EQ(marked(saved), marked(*inMemory.design));
        EXPECT_EQ(saved.texts.back()->layer, 1);
        EXPECT_EQ(shown, inMemory.takeMessages());
        // The regulator's tab has no name: its number is shown, then used.
        EXPECT_EQ(shown.empty(), std::string_view(option) != "optLabelType_1");
    }
}

TEST_F(SessionTest, ALaterSessionRemovesEveryMarkedTextButTheLockedOne) {
    startSession();
    session->click("cmdAddLabel");
    ASSERT_GT(marked(endSession()).size(), 1u);

    startSession();
    session->click("cmdDeleteLabel");
    EXPECT_EQ(session->takeMessages(),
              Messages({{"删除 管脚号{ASSEMBLY} 时发生错误，请手工删除！"}}));
    std::vector<std::u16string> left;
    for (const auto& text : endSession().texts) {
        left.push_back(text->text);
    }
    EXPECT_EQ(left, (std::vector<std::u16string>{u"TAGWRIGHT DEMO REV B", u"{ASSEMBLY}"}));
}

TEST_F(SessionTest, LocateWritesTheSelectionIntoTheDesign) {
    startSession();
    session->select("lstCompList", 3);
    session->click("cmdLocateComp");
    session->click("optLabelType_0");
    session->select("lstNetList", 4);
    session->click("cmdLocateNet");
    EXPECT_TRUE(session->takeMessages().empty());
    const Design saved = endSession();
    for (std::size_t i = 0; i < saved.components.size(); ++i) {
        EXPECT_EQ(saved.components[i].selected, i == 3) << i;
    }
    for (std::size_t i = 0; i < saved.nets.size(); ++i) {
        EXPECT_EQ(saved.nets[i].selected, i == 4) << i;
    }
}

TEST_F(SessionTest, RefreshAfterTheEditorQuitTakesTheFixedWayOut) {
    startSession();
    host::attachRunningEditor().call(u"Quit");
    EXPECT_EQ(editor->waitForExit(), 0) << editor->errors().toStdString();
    session->click("cmdUpdateList");
    EXPECT_EQ(session->takeMessages(), Messages({{"请先打开一个PCB设计文件!", "提示"}}));
    EXPECT_EQ(session->programEnds, 1);
}

} // namespace
