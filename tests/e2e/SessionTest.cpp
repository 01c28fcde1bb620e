// The real window attached over the session bus to the stand-in editor, run as its own
// process on a copy of the sample board: what a user does, checked in the file it saves.
#include "EditorSession.h"

#include <gtest/gtest.h>

using namespace tagwright;
using host::memory::Design;
using Messages = test::MessageLog;

namespace {

using SessionTest = test::EditorSessionTest;

// Over the bus each label type places what it places on the same board held in memory, whose
// rules are tested on their own.
TEST_F(SessionTest, EachLabelTypeLandsInTheSavedDesign) {
    const std::string json = tagwright::testing::contentOf(DEMO_BOARD).toStdString();
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
        addLabels(*window);
        const Messages shown = window->takeMessages();
        const Design saved = endSession();
        EXPECT_GT(test::marked(saved).size(), 20u);
        EXPECT_EQ(test::marked(saved), test::marked(*inMemory.design));
        EXPECT_EQ(saved.texts.back()->layer, 1);
        EXPECT_EQ(shown, inMemory.takeMessages());
        // The regulator's tab has no name: its number is shown, then used.
        EXPECT_EQ(shown.empty(), std::string_view(option) != "optLabelType_1");
    }
}

TEST_F(SessionTest, ALaterSessionRemovesEveryMarkedTextButTheLockedOne) {
    startSession();
    window->click("cmdAddLabel");
    ASSERT_GT(test::marked(endSession()).size(), 1u);

    startSession();
    window->click("cmdDeleteLabel");
    EXPECT_EQ(window->takeMessages(),
              Messages({{"删除 管脚号{ASSEMBLY} 时发生错误，请手工删除！"}}));
    std::vector<std::u16string> left;
    for (const auto& text : endSession().texts) {
        left.push_back(text->text);
    }
    EXPECT_EQ(left, (std::vector<std::u16string>{u"TAGWRIGHT DEMO REV B", u"{ASSEMBLY}"}));
}

TEST_F(SessionTest, LocateWritesTheSelectionIntoTheDesign) {
    startSession();
    window->select("lstCompList", 3);
    window->click("cmdLocateComp");
    window->click("optLabelType_0");
    window->select("lstNetList", 4);
    window->click("cmdLocateNet");
    EXPECT_TRUE(window->takeMessages().empty());
    const Design saved = endSession();
    for (std::size_t i = 0; i < saved.components.size(); ++i) {
        EXPECT_EQ(saved.components[i].selected, i == 3) << i;
    }
    for (std::size_t i = 0; i < saved.nets.size(); ++i) {
        EXPECT_EQ(saved.nets[i].selected, i == 4) << i;
    }
}

} // namespace
