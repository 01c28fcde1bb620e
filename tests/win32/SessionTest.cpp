// tagwright.exe attached to the COM test server serving the sample board, driven from this
// process through window messages as a user would drive it; the design the server saves at
// the end is what the session did.
#include "EditorProcess.h"
#include "ProgramDriver.h"

#include "host/HostRoles.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "labels/AddLabels.h"
#include "window/win32/ControlIds.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using namespace tagwright;
using host::memory::Design;
using test::ShownMessage;
using window::win32::ControlId;

namespace {

Design demoBoard() {
    return host::memory::loadDesign(DEMO_BOARD);
}

using Label = std::tuple<std::u16string, std::int32_t, double, double, double>;

std::vector<Label> marked(const Design& design) {
    std::vector<Label> labels;
    for (const auto& t : design.texts) {
        if (!t->deleted && t->text.size() >= 2 && t->text.front() == u'{' && t->text.back() == u'}')
            labels.emplace_back(t->text, t->layer, t->x, t->y, t->rotation);
    }
    return labels;
}

std::wstring wide(const std::u16string& text) {
    return {text.begin(), text.end()};
}

// A message as the window shows it: owned by the window, OK only, no icon.
ShownMessage fromWindow(std::wstring text, std::wstring title = L"Tagwright") {
    return {std::move(text), std::move(title), true, true, false};
}

// The program attaches to the editor's own ProgID, so these tests register it while they run.
// Under Wine that is a throwaway prefix; on Windows it could hide an installed editor from
// other programs for as long, so there they run only when asked to.
class SessionTestBase : public testing::Test {
  protected:
    void SetUp() override {
        const bool underWine =
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
        char asked[8] = {};
        GetEnvironmentVariableA("TAGWRIGHT_SESSION_TESTS", asked, sizeof asked);
        if (!underWine && std::string(asked) != "1")
            GTEST_SKIP() << "registers the editor's ProgID; TAGWRIGHT_SESSION_TESTS=1 runs it";
    }
};

class Session : public SessionTestBase {
  protected:
    void start(const Design& design = demoBoard()) {
        editor.emplace(design);
        program.emplace();
        ASSERT_TRUE(program->waitForWindow());
        EXPECT_TRUE(program->takeMessages().empty());
    }
    // The title bar's close box, or the close button, ends the program; the editor then saves
    // what it holds.
    Design end(bool closeButton = false) {
        if (closeButton)
            EXPECT_TRUE(program->click(ControlId::cmdClose).empty());
        else
            PostMessageW(program->window(), WM_CLOSE, 0, 0);
        EXPECT_EQ(program->waitForExit(), 0);
        program.reset();
        Design saved = editor->finish();
        editor.reset();
        return saved;
    }

    std::optional<test::EditorProcess> editor;
    std::optional<test::ProgramUnderTest> program;
};

// Each label type with what a user sets around it; the same run on the board in memory says
// what must land in the saved design.
TEST_F(Session, EachLabelTypeLandsInTheSavedDesign) {
    for (std::int16_t type = 0; type < 3; ++type) {
        SCOPED_TRACE(testing::Message() << "label type " << type);
        start();
        program->click(ControlId::optLabelType_0 + type);
        if (IsWindowEnabled(program->control(ControlId::chkVias)))
            program->click(ControlId::chkVias);
        program->setText(ControlId::txtLabelOffsetX, L"10");
        program->setText(ControlId::txtLabelOffsetY, L"-5");
        program->pick(ControlId::cboLabelRotation, 1);
        program->pick(ControlId::cboLabelLayer, 1);
        const std::vector<ShownMessage> shown = program->click(ControlId::cmdAddLabel);
        const Design saved = end();

        auto expected = std::make_shared<Design>(demoBoard());
        labels::WindowSnapshot window;
        window.labelType = type;
        window.offsetX = u"10";
        window.offsetY = u"-5";
        window.fontHeight = u"15";
        window.fontWidth = u"1";
        window.rotation = u"90";
        window.vias = type != labels::PinNumberLabel;
        for (const auto& c : expected->components)
            window.components.push_back({c.name, false});
        for (const auto& n : expected->nets)
            window.nets.push_back({n.name, false});
        for (const auto& n : expected->netClasses)
            window.netClasses.push_back({n.name, false});
        window.layerIndex = 1;
        labels::ComponentMask mask;
        std::vector<ShownMessage> messages;
        labels::addLabels(host::HostDocument(host::memory::makeDocument(expected)), window, mask,
                          [&](const std::u16string& text, const std::u16string& title) {
                              messages.push_back(fromWindow(
                                  wide(text), title.empty() ? L"Tagwright" : wide(title)));
                          });

        EXPECT_GT(marked(saved).size(), marked(demoBoard()).size() + 20);
        EXPECT_EQ(marked(saved), marked(*expected));
        EXPECT_EQ(shown, messages);
    }
}

TEST_F(Session, RemovalTakesEveryMarkedTextButTheLockedOne) {
    start();
    program->click(ControlId::cmdAddLabel);
    EXPECT_EQ(program->click(ControlId::cmdDeleteLabel),
              std::vector{fromWindow(L"删除 管脚号{ASSEMBLY} 时发生错误，请手工删除！")});
    std::vector<std::u16string> left;
    for (const auto& text : end().texts) {
        if (!text->deleted)
            left.push_back(text->text);
    }
    EXPECT_EQ(left, (std::vector<std::u16string>{u"TAGWRIGHT DEMO REV B", u"{ASSEMBLY}"}));
}

TEST_F(Session, LocateSelectsTheChosenObjectsInTheEditor) {
    start();
    program->select(ControlId::lstCompList, 3);
    EXPECT_TRUE(program->click(ControlId::cmdLocateComp).empty());
    program->click(ControlId::optLabelType_0);
    program->select(ControlId::lstNetList, 4);
    EXPECT_TRUE(program->click(ControlId::cmdLocateNet).empty());
    const Design saved = end(true);
    for (std::size_t i = 0; i < saved.components.size(); ++i)
        EXPECT_EQ(saved.components[i].selected, i == 3) << i;
    for (std::size_t i = 0; i < saved.nets.size(); ++i)
        EXPECT_EQ(saved.nets[i].selected, i == 4) << i;
}

TEST_F(Session, ABadNumberIsReportedAndNothingIsAdded) {
    start();
    EXPECT_EQ(program->click(ControlId::cmdHelp),
              std::vector{fromWindow(L"版本：1.0       \r\n\r\n运行错误或改进建议请联系：  \r\n\r\n"
                                     L"support@tagwright.invalid")});
    program->setText(ControlId::txtLabelFontH, L"1.2.3");
    EXPECT_EQ(program->click(ControlId::cmdAddLabel),
              std::vector{fromWindow(L"运行时错误 '13':\n类型不匹配")});
    EXPECT_TRUE(program->windowShown());
    EXPECT_EQ(marked(end()), marked(demoBoard()));
}

TEST_F(Session, AnEditorKilledMidSessionIsReportedAndTheWindowStays) {
    start();
    editor->kill();
    const std::vector<ShownMessage> shown = program->click(ControlId::cmdAddLabel);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.starts_with(L"运行时错误 '")) << testing::PrintToString(shown[0]);
    EXPECT_EQ(shown[0].title, L"Tagwright");
    EXPECT_TRUE(program->windowShown());

    // Refreshing finds no editor: the notice, and the program ends.
    EXPECT_EQ(program->click(ControlId::cmdUpdateList),
              std::vector{fromWindow(L"请先打开一个PCB设计文件!", L"提示")});
    EXPECT_EQ(program->waitForExit(), 0);
}

using SessionWithoutEditor = SessionTestBase;

TEST_F(SessionWithoutEditor, TheNoticeEndsTheProgramBeforeItsWindowShows) {
    test::ProgramUnderTest program;
    EXPECT_FALSE(program.waitForWindow());
    EXPECT_EQ(program.takeMessages(), (std::vector{ShownMessage{L"请先打开一个PCB设计文件!",
                                                                L"提示", false, true, false}}));
    EXPECT_EQ(program.waitForExit(), 0);
}

} // namespace
