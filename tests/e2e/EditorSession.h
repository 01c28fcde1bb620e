#pragma once

// What the end-to-end tests share: the stand-in editor run as its own program on a copy of the
// sample board, the real window attached to it over the session bus, and the labels read back
// from the design it saves.
#include "host/Attach.h"
#include "support/BusHarness.h"
#include "support/CallRecorder.h"
#include "window/qt/WindowHarness.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace tagwright::test {

// A marked text: what it says and where it lies.
using Label = std::tuple<std::u16string, double, double>;

// The marked texts of a design, in its order.
inline std::vector<Label> marked(const host::memory::Design& design) {
    std::vector<Label> labels;
    for (const auto& t : design.texts) {
        if (!t->deleted && t->text.size() >= 2 && t->text.front() == u'{' &&
            t->text.back() == u'}') {
            labels.push_back({t->text, t->x, t->y});
        }
    }
    return labels;
}

inline void netNameLabelsWithVias(const WindowUnderTest& window) {
    window.click("optLabelType_0");
    window.tick("chkVias");
    window.click("cmdAddLabel");
}

class EditorSessionTest : public ::testing::Test {
  protected:
    // The stand-in on the design at `path`, a fresh copy of the sample board when there is none.
    void startEditor(const QStringList& args = {}) {
        if (!QFile::exists(path)) {
            ASSERT_TRUE(tagwright::testing::copyDemoBoard(path));
        }
        editor = std::make_unique<tagwright::testing::StandinProcess>(QStringList{path} + args);
        ASSERT_TRUE(editor->waitUntilServing()) << editor->errors().toStdString();
    }
    // The editor and the window attached to it, loaded; the window's calls go through `log`.
    void startSession(const QStringList& args = {}) {
        startEditor(args);
        window.emplace([this] {
            return host::HostApplication(
                host::recordCalls(host::attachRunningEditor().object(), log));
        });
        ASSERT_TRUE(window->form().Form_Load());
    }
    // Closes the window, then stops the editor, which writes the design back.
    host::memory::Design endSession() {
        window.reset();
        editor->sendSignal(SIGTERM);
        EXPECT_EQ(editor->waitForExit(), 0) << editor->errors().toStdString();
        return host::memory::loadDesign(path.toStdString());
    }

    QTemporaryDir dir;
    QString path = dir.filePath("board.json");
    std::unique_ptr<tagwright::testing::StandinProcess> editor;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    std::optional<WindowUnderTest> window;
};

} // namespace tagwright::test
