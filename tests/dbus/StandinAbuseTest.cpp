// The stand-in editor, run as its own program, under what a second client or the file system
// does to it: it keeps serving each client right, and never loses what it saved.
#include "host/Attach.h"
#include "host/Failure.h"
#include "host/Text.h"
#include "host/dbus/BusClient.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "labels/AddLabels.h"
#include "support/BusHarness.h"
#include "support/FailureOf.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <future>
#include <system_error>
#include <unistd.h>

using namespace tagwright;
using namespace tagwright::host;
using tagwright::testing::contentOf;
using tagwright::testing::StandinProcess;

namespace {

constexpr std::size_t hammerCalls = 300;

std::vector<std::u16string> liveTexts(const memory::Design& design) {
    std::vector<std::u16string> texts;
    for (const auto& text : design.texts) {
        if (!text->deleted) {
            texts.push_back(text->text);
        }
    }
    return texts;
}

// Net-name labels on every component and via of the sample board.
run::LabelRequest everyNet(const memory::Design& design) {
    run::LabelRequest request;
    request.labelType = run::NetNameLabel;
    request.vias = true;
    for (const auto& component : design.components) {
        request.components.push_back({component.name, false});
    }
    return request;
}

class StandinAbuseTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(tagwright::testing::copyDemoBoard(path)); }

    // Root may write anywhere; the editor is then started without that power, as a user is.
    static QStringList asAUser() {
        if (::geteuid() != 0) {
            return {};
        }
        return {QStringLiteral("setpriv"), QStringLiteral("--inh-caps=-all"),
                QStringLiteral("--bounding-set=-dac_override,-dac_read_search"),
                QStringLiteral("--")};
    }

    void start(const QStringList& launcher = {}) {
        editor = std::make_unique<StandinProcess>(QStringList{path}, QString(), launcher);
        ASSERT_TRUE(editor->waitUntilServing()) << editor->errors().toStdString();
    }

    QTemporaryDir dir;
    QString path = dir.filePath("board.json");
    std::unique_ptr<StandinProcess> editor;
};

// A second client keeps calling, adding texts of its own, while a label run goes on; both
// finish, and the design holds exactly what each of them placed.
TEST_F(StandinAbuseTest, ASecondClientHammeringDuringARunLeavesBothCountsRight) {
    start();
    auto inMemory = std::make_shared<memory::Design>(memory::loadDesign(path.toStdString()));
    const run::LabelRequest request = everyNet(*inMemory);
    labels::ComponentMask mask;
    const auto noMessage = [](const std::u16string&, const std::u16string&) {};
    labels::addLabels(HostApplication(memory::makeApplication(inMemory)).activeDocument(), request,
                      mask, noMessage);

    std::atomic<bool> runDone{false}, hammering{false};
    auto hammer = std::async(std::launch::async, [&] {
        auto connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "hammer");
        std::vector<std::u16string> placed;
        {
            const HostDocument document =
                HostApplication(dbus::connectToEditor(connection)).activeDocument();
            while (placed.size() < hammerCalls || !runDone) {
                placed.push_back(u"hammer " + host::fromUtf8(std::to_string(placed.size())));
                document.addText({placed.back(), 1, 0, 0, 1, 1, 0});
                (void)document.texts().item(1);
                hammering = true;
            }
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("hammer"));
        return placed;
    });
    while (!hammering &&
           hammer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        ;
    }
    labels::ComponentMask runMask;
    labels::addLabels(attachRunningEditor().activeDocument(), request, runMask, noMessage);
    runDone = true;
    const std::vector<std::u16string> placed = hammer.get();
    attachRunningEditor().call(u"Save");

    std::vector<std::u16string> labelsPlaced, hammered;
    for (const auto& text : liveTexts(memory::loadDesign(path.toStdString()))) {
        (text.starts_with(u"hammer ") ? hammered : labelsPlaced).push_back(text);
    }
    EXPECT_EQ(labelsPlaced, liveTexts(*inMemory));
    EXPECT_EQ(hammered, placed);
}

// A design folder that has become read-only: Save fails with 75 and says why, the file keeps
// what was saved last, and the edits are still there to save once the folder can be written.
TEST_F(StandinAbuseTest, SaveIntoAReadOnlyFolderFailsAndLosesNothing) {
    start(asAUser());
    const HostDocument document = attachRunningEditor().activeDocument();
    document.addText({u"{SAVED}", 1, 0, 0, 1, 1, 0});
    attachRunningEditor().call(u"Save");
    const QByteArray lastSaved = contentOf(path);

    namespace fs = std::filesystem;
    const fs::path folder = dir.path().toStdString();
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    document.addText({u"{UNSAVED}", 1, 0, 0, 1, 1, 0});
    const auto failure = test::failureOf([] { attachRunningEditor().call(u"Save"); });
    fs::permissions(folder, fs::perms::owner_all);
    ASSERT_TRUE(failure) << "saved into a read-only folder";
    EXPECT_EQ(failure->number(), 75);
    const std::string said = host::toUtf8(failure->description());
    EXPECT_NE(said.find(path.toStdString()), std::string::npos) << said;
    EXPECT_NE(said.find(std::generic_category().message(EACCES)), std::string::npos) << said;
    EXPECT_EQ(contentOf(path), lastSaved);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
        << "a temporary file was left behind";

    attachRunningEditor().call(u"Save");
    const auto texts = liveTexts(memory::loadDesign(path.toStdString()));
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(std::vector(texts.end() - 2, texts.end()),
              (std::vector<std::u16string>{u"{SAVED}", u"{UNSAVED}"}));
}

} // namespace
