// The real window attached over the session bus to the stand-in editor, run as its own
// process on a copy of the sample board: what a user does, checked in the file it saves.
#include "host/Attach.h"
#include "host/memory/DesignFile.h"
#include "support/StandinProcess.h"
#include "window/frmTagwright.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tagwright;
using host::memory::Design;
using tagwright::testing::StandinProcess;

namespace {

struct Message {
    QString text, title;
};

class RecordedMessages : public window::Messages {
  public:
    explicit RecordedMessages(std::vector<Message>& shown) : shown_(shown) {}
    void show(const QString& text, const QString& title) override {
        shown_.push_back({text, title});
    }

  private:
    std::vector<Message>& shown_;
};

struct Label {
    std::u16string text;
    double x, y;
    friend bool operator==(const Label&, const Label&) = default;
};

void PrintTo(const Label& label, std::ostream* out) {
    *out << QString::fromStdU16String(label.text).toStdString() << " at (" << label.x << ", "
         << label.y << ")";
}

constexpr double offsetX = 10, offsetY = -5;

class SessionTest : public ::testing::Test {
  protected:
    SessionTest() {
        QFile::copy(QStringLiteral(DEMO_BOARD), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        sample = host::memory::loadDesign(DEMO_BOARD);
    }

    // One run of the editor and one of the window, as a user starts them.
    void startSession() {
        editor = std::make_unique<StandinProcess>(QStringList{path});
        ASSERT_TRUE(editor->waitUntilServing()) << editor->errors().toStdString();
        window = std::make_unique<window::frmTagwright>(host::attachRunningEditor);
        window->setMessages(std::make_unique<RecordedMessages>(messages));
        window->setProgramEnd([this] { ++programEnds; });
        ASSERT_TRUE(window->Form_Load());
        control<QLineEdit>("txtLabelOffsetX")->setText(QStringLiteral("10"));
        control<QLineEdit>("txtLabelOffsetY")->setText(QStringLiteral("-5"));
    }
    // Ends the editor the way a user closes it; it writes the design back.
    Design endSession() {
        window.reset();
        editor->sendSignal(SIGTERM);
        EXPECT_EQ(editor->waitForExit(), 0) << editor->errors().toStdString();
        return host::memory::loadDesign(path.toStdString());
    }

    template <class Widget> Widget* control(const char* name) {
        auto* widget = window->findChild<Widget*>(QLatin1String(name));
        if (!widget) {
            throw std::runtime_error(std::string("no control ") + name);
        }
        return widget;
    }

    static std::vector<Label> marked(const Design& design) {
        std::vector<Label> labels;
        for (const auto& text : design.texts) {
            if (!text->deleted && text->text.size() >= 2 && text->text.front() == u'{' &&
                text->text.back() == u'}') {
                labels.push_back({text->text, text->x, text->y});
            }
        }
        return labels;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("board.json"));
    Design sample;
    std::unique_ptr<StandinProcess> editor;
    std::unique_ptr<window::frmTagwright> window;
    std::vector<Message> messages;
    int programEnds = 0;
};

TEST_F(SessionTest, ListsShowTheDesignInTheEditorsOrder) {
    startSession();
    auto texts = [](QListWidget* list) {
        std::vector<std::u16string> names;
        for (int i = 0; i < list->count(); ++i) {
            names.push_back(list->item(i)->text().toStdU16String());
        }
        return names;
    };
    std::vector<std::u16string> components, nets, classes, layers;
    for (const auto& c : sample.components) {
        components.push_back(c.name);
    }
    for (const auto& n : sample.nets) {
        nets.push_back(n.name);
    }
    for (const auto& c : sample.netClasses) {
        classes.push_back(c.name);
    }
    EXPECT_EQ(texts(control<QListWidget>("lstCompList")), components);
    EXPECT_EQ(texts(control<QListWidget>("lstNetList")), nets);
    EXPECT_EQ(texts(control<QListWidget>("lstNetClassList")), classes);
    auto* layerList = control<QComboBox>("cboLabelLayer");
    ASSERT_EQ(layerList->count(), static_cast<int>(sample.layers.size()));
    EXPECT_EQ(layerList->itemText(0).toStdU16String(), sample.layers[0]);
    EXPECT_TRUE(messages.empty());
}

TEST_F(SessionTest, EachLabelTypeLandsInTheSavedDesign) {
    struct Case {
        const char* name;
        int type;
        // The object text of a pin or via, or nothing when it gets no label.
        std::function<std::optional<std::u16string>(const Design&, host::memory::Index net,
                                                    const std::u16string& pinName,
                                                    std::int32_t number)>
            text;
        bool vias;
    };
    auto netName = [](const Design& d, host::memory::Index net, const std::u16string&,
                      std::int32_t) -> std::optional<std::u16string> {
        if (net == host::memory::none) {
            return std::nullopt;
        }
        return d.nets[net].name;
    };
    auto pinNumber = [](const Design&, host::memory::Index net, const std::u16string& name,
                        std::int32_t number) -> std::optional<std::u16string> {
        if (net == host::memory::none) {
            return std::nullopt;
        }
        return name.empty() ? QString::number(number).toStdU16String() : name;
    };
    auto netClass = [](const Design& d, host::memory::Index net, const std::u16string&,
                       std::int32_t) -> std::optional<std::u16string> {
        if (net == host::memory::none || d.nets[net].netClass == host::memory::none) {
            return std::nullopt;
        }
        return d.netClasses[d.nets[net].netClass].name;
    };
    const std::vector<Case> cases = {
        {"net name with vias", 0, netName, true},
        {"pin number", 1, pinNumber, false},
        {"net class", 2, netClass, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        QFile::copy(QStringLiteral(DEMO_BOARD), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        messages.clear();
        startSession();
        control<QRadioButton>(c.type == 0   ? "optLabelType_0"
                              : c.type == 1 ? "optLabelType_1"
                                            : "optLabelType_2")
            ->click();
        control<QCheckBox>("chkVias")->setChecked(c.vias);
        window->cmdAddLabel_Click();

        std::vector<Label> expected = marked(sample);
        for (const auto& component : sample.components) {
            for (const auto& pin : component.pins) {
                if (auto text = c.text(sample, pin.net, pin.name, pin.number)) {
                    expected.push_back({u"{" + *text + u"}", pin.x + offsetX, pin.y + offsetY});
                }
            }
        }
        for (const auto& via : sample.vias) {
            if (auto text = c.vias ? c.text(sample, via.net, {}, 0) : std::nullopt) {
                expected.push_back({u"{" + *text + u"}", via.x + offsetX, via.y + offsetY});
            }
        }
        const Design saved = endSession();
        EXPECT_EQ(marked(saved), expected);
        for (std::size_t i = sample.texts.size(); i < saved.texts.size(); ++i) {
            EXPECT_EQ(saved.texts[i]->layer, 1);
            EXPECT_EQ(saved.texts[i]->height, 15.0);
            EXPECT_EQ(saved.texts[i]->lineWidth, 1.0);
        }
        if (c.type == 1) {
            // The regulator's tab has no name: its number is shown, then used.
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, QStringLiteral("4"));
            EXPECT_EQ(messages[0].title, QStringLiteral("Tagwright"));
        } else {
            EXPECT_TRUE(messages.empty());
        }
    }
}

TEST_F(SessionTest, DeleteRemovesEveryMarkedTextButTheLockedOne) {
    startSession();
    window->cmdAddLabel_Click();
    messages.clear();
    window->cmdDeleteLabel_Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("删除 管脚号{ASSEMBLY} 时发生错误，请手工删除！"));
    EXPECT_EQ(messages[0].title, QStringLiteral("Tagwright"));
    const Design saved = endSession();
    std::vector<std::u16string> left;
    for (const auto& text : saved.texts) {
        left.push_back(text->text);
    }
    EXPECT_EQ(left, (std::vector<std::u16string>{u"TAGWRIGHT DEMO REV B", u"{ASSEMBLY}"}));
}

TEST_F(SessionTest, LocateWritesTheSelectionIntoTheDesign) {
    startSession();
    auto* components = control<QListWidget>("lstCompList");
    components->item(0)->setSelected(true); // U1
    components->item(3)->setSelected(true); // U4
    window->cmdLocateComp_Click();
    auto* nets = control<QListWidget>("lstNetList");
    nets->item(4)->setSelected(true); // SDA
    window->cmdLocateNet_Click();
    EXPECT_TRUE(messages.empty());
    const Design saved = endSession();
    for (std::size_t i = 0; i < saved.components.size(); ++i) {
        EXPECT_EQ(saved.components[i].selected, i == 0 || i == 3) << i;
    }
    for (std::size_t i = 0; i < saved.nets.size(); ++i) {
        EXPECT_EQ(saved.nets[i].selected, i == 4) << i;
    }
}

TEST_F(SessionTest, ALaterSessionRemovesTheLabelsOfAnEarlierOne) {
    startSession();
    window->cmdAddLabel_Click();
    const Design first = endSession();
    ASSERT_GT(marked(first).size(), marked(sample).size());

    startSession();
    window->cmdDeleteLabel_Click();
    const Design second = endSession();
    EXPECT_EQ(marked(second), (std::vector<Label>{{u"{ASSEMBLY}", 1500, 1550}}));
}

TEST_F(SessionTest, RefreshAfterTheEditorQuitTakesTheFixedWayOut) {
    startSession();
    host::attachRunningEditor().call(u"Quit");
    EXPECT_EQ(editor->waitForExit(), 0);
    window->cmdUpdateList_Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("请先打开一个PCB设计文件!"));
    EXPECT_EQ(messages[0].title, QStringLiteral("提示"));
    EXPECT_EQ(programEnds, 1);
    EXPECT_EQ(control<QListWidget>("lstCompList")->count(), 0);
}

TEST_F(SessionTest, AnEditorKilledMidSessionIsReportedAndTheWindowStays) {
    startSession();
    editor->sendSignal(SIGKILL);
    editor->waitForExit();
    window->cmdAddLabel_Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("运行时错误 '462':")))
        << messages[0].text.toStdString();
    EXPECT_EQ(messages[0].title, QStringLiteral("Tagwright"));
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(control<QListWidget>("lstCompList")->count(),
              static_cast<int>(sample.components.size()));
    EXPECT_EQ(QFile(path).size(), QFile(QStringLiteral(DEMO_BOARD)).size()) << "nothing saved";
}

} // namespace
