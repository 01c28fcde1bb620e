// The real window attached over the session bus to the stand-in editor, run as its own
// process on a copy of the sample board: what a user does, checked in the file it saves.
#include "host/Attach.h"
#include "host/memory/DesignFile.h"
#include "support/StandinProcess.h"
#include "window/frmTagwright.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>
#include <vector>

using namespace tagwright;
using host::memory::Design;
using host::memory::Index;
using tagwright::testing::StandinProcess;

namespace {

struct Shown {
    QString text, title;
    friend bool operator==(const Shown&, const Shown&) = default;
};
void PrintTo(const Shown& m, std::ostream* out) {
    *out << m.title.toStdString() << ": " << m.text.toStdString();
}

class Recorded : public window::Messages {
  public:
    explicit Recorded(std::vector<Shown>& shown) : shown_(shown) {}
    void show(const QString& text, const QString& title) override {
        shown_.push_back({text, title});
    }

  private:
    std::vector<Shown>& shown_;
};

struct Label {
    std::u16string text;
    double x, y;
    friend bool operator==(const Label&, const Label&) = default;
};
void PrintTo(const Label& l, std::ostream* out) {
    *out << QString::fromStdU16String(l.text).toStdString() << " (" << l.x << ", " << l.y << ")";
}

const Shown tagwright(const char* text) {
    return {QString::fromUtf8(text), "Tagwright"};
}

class SessionTest : public ::testing::Test {
  protected:
    void startSession() {
        if (!QFile::exists(path)) {
            QFile::copy(QStringLiteral(DEMO_BOARD), path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        }
        editor = std::make_unique<StandinProcess>(QStringList{path});
        ASSERT_TRUE(editor->waitUntilServing()) << editor->errors().toStdString();
        window = std::make_unique<window::frmTagwright>(host::attachRunningEditor);
        window->setMessages(std::make_unique<Recorded>(shown));
        window->setProgramEnd([this] { ++programEnds; });
        ASSERT_TRUE(window->Form_Load());
        control<QLineEdit>("txtLabelOffsetX")->setText("10");
        control<QLineEdit>("txtLabelOffsetY")->setText("-5");
    }
    // The editor writes the design back when it is stopped.
    Design endSession() {
        window.reset();
        editor->sendSignal(SIGTERM);
        EXPECT_EQ(editor->waitForExit(), 0) << editor->errors().toStdString();
        return host::memory::loadDesign(path.toStdString());
    }
    template <class Widget> Widget* control(const char* name) {
        return window->findChild<Widget*>(QLatin1String(name));
    }
    static std::vector<Label> marked(const Design& design) {
        std::vector<Label> labels;
        for (const auto& t : design.texts)
            if (t->text.size() >= 2 && t->text.front() == u'{' && t->text.back() == u'}')
                labels.push_back({t->text, t->x, t->y});
        return labels;
    }

    QTemporaryDir dir;
    QString path = dir.filePath("board.json");
    Design sample = host::memory::loadDesign(DEMO_BOARD);
    std::unique_ptr<StandinProcess> editor;
    std::unique_ptr<window::frmTagwright> window;
    std::vector<Shown> shown;
    int programEnds = 0;
};

TEST_F(SessionTest, ListsShowTheDesignInTheEditorsOrder) {
    startSession();
    auto* components = control<QListWidget>("lstCompList");
    auto* nets = control<QListWidget>("lstNetList");
    ASSERT_EQ(components->count(), static_cast<int>(sample.components.size()));
    ASSERT_EQ(nets->count(), static_cast<int>(sample.nets.size()));
    for (int i = 0; i < components->count(); ++i)
        EXPECT_EQ(components->item(i)->text().toStdU16String(), sample.components[i].name);
    for (int i = 0; i < nets->count(); ++i)
        EXPECT_EQ(nets->item(i)->text().toStdU16String(), sample.nets[i].name);
    EXPECT_EQ(control<QListWidget>("lstNetClassList")->count(), 3);
    EXPECT_TRUE(shown.empty());
}

TEST_F(SessionTest, EachLabelTypeLandsInTheSavedDesign) {
    // The object text a pin gets under each label type, or none.
    using Rule = std::optional<std::u16string> (*)(const Design&, const host::memory::PinData&);
    const Rule netName = [](const Design& d, const host::memory::PinData& p) {
        return p.net == host::memory::none ? std::nullopt : std::optional(d.nets[p.net].name);
    };
    const Rule pinNumber = [](const Design&, const host::memory::PinData& p) {
        if (p.net == host::memory::none)
            return std::optional<std::u16string>();
        return std::optional(p.name.empty() ? QString::number(p.number).toStdU16String() : p.name);
    };
    const Rule netClass = [](const Design& d, const host::memory::PinData& p) {
        const Index c = p.net == host::memory::none ? host::memory::none : d.nets[p.net].netClass;
        return c == host::memory::none ? std::nullopt : std::optional(d.netClasses[c].name);
    };
    const std::vector<std::pair<const char*, Rule>> cases = {
        {"optLabelType_0", netName}, {"optLabelType_1", pinNumber}, {"optLabelType_2", netClass}};
    for (const auto& [option, rule] : cases) {
        SCOPED_TRACE(option);
        QFile::remove(path);
        shown.clear();
        startSession();
        control<QRadioButton>(option)->click();
        const bool vias = rule == netName;
        control<QCheckBox>("chkVias")->setChecked(vias);
        window->cmdAddLabel_Click();

        std::vector<Label> expected = marked(sample);
        for (const auto& component : sample.components)
            for (const auto& pin : component.pins)
                if (auto text = rule(sample, pin))
                    expected.push_back({u"{" + *text + u"}", pin.x + 10, pin.y - 5});
        for (const auto& via : sample.vias)
            if (vias && via.net != host::memory::none)
                expected.push_back(
                    {u"{" + sample.nets[via.net].name + u"}", via.x + 10, via.y - 5});
        const Design saved = endSession();
        EXPECT_EQ(marked(saved), expected);
        EXPECT_EQ(saved.texts.back()->layer, 1);
        EXPECT_EQ(saved.texts.back()->height, 15.0);
        // The regulator's tab has no name: its number is shown, then used.
        EXPECT_EQ(shown, rule == pinNumber ? std::vector{tagwright("4")} : std::vector<Shown>{});
    }
}

TEST_F(SessionTest, ALaterSessionRemovesEveryMarkedTextButTheLockedOne) {
    startSession();
    window->cmdAddLabel_Click();
    ASSERT_GT(marked(endSession()).size(), marked(sample).size());

    shown.clear();
    startSession();
    window->cmdDeleteLabel_Click();
    EXPECT_EQ(shown, std::vector{tagwright("删除 管脚号{ASSEMBLY} 时发生错误，请手工删除！")});
    std::vector<std::u16string> left;
    for (const auto& text : endSession().texts)
        left.push_back(text->text);
    EXPECT_EQ(left, (std::vector<std::u16string>{u"TAGWRIGHT DEMO REV B", u"{ASSEMBLY}"}));
}

TEST_F(SessionTest, LocateWritesTheSelectionIntoTheDesign) {
    startSession();
    control<QListWidget>("lstCompList")->item(3)->setSelected(true);
    window->cmdLocateComp_Click();
    control<QListWidget>("lstNetList")->item(4)->setSelected(true);
    window->cmdLocateNet_Click();
    EXPECT_TRUE(shown.empty());
    const Design saved = endSession();
    for (std::size_t i = 0; i < saved.components.size(); ++i)
        EXPECT_EQ(saved.components[i].selected, i == 3) << i;
    for (std::size_t i = 0; i < saved.nets.size(); ++i)
        EXPECT_EQ(saved.nets[i].selected, i == 4) << i;
}

TEST_F(SessionTest, RefreshAfterTheEditorQuitTakesTheFixedWayOut) {
    startSession();
    host::attachRunningEditor().call(u"Quit");
    EXPECT_EQ(editor->waitForExit(), 0);
    window->cmdUpdateList_Click();
    EXPECT_EQ(shown, (std::vector<Shown>{{"请先打开一个PCB设计文件!", "提示"}}));
    EXPECT_EQ(programEnds, 1);
}

TEST_F(SessionTest, AnEditorKilledMidSessionIsReportedAndTheWindowStays) {
    startSession();
    editor->sendSignal(SIGKILL);
    editor->waitForExit();
    window->cmdAddLabel_Click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith("运行时错误 '462':")) << shown[0].text.toStdString();
    EXPECT_EQ(shown[0].title, "Tagwright");
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(QFile(path).size(), QFile(DEMO_BOARD).size()) << "nothing was saved";
}

} // namespace
