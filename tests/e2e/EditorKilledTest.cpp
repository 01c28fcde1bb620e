// The stand-in editor killed at random points of a label run over the bus, now and then while
// it is saving: the window reports the editor gone (462) and stays, and the design file is
// the one saved last, whole, whatever the moment of the kill.
#include "EditorSession.h"
#include "host/dbus/Protocol.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace tagwright;
using tagwright::testing::contentOf;

namespace {

class EditorKilledTest : public test::EditorSessionTest {
  protected:
    void startOnAFreshBoard() {
        window.reset();
        QFile::remove(path);
        startSession();
        log->clear();
    }
    // Asks the editor to save, on a connection of its own, without waiting for the answer.
    void saveWithoutWaiting() {
        auto call = QDBusMessage::createMethodCall(
            QLatin1String(host::dbus::serviceName), QLatin1String(host::dbus::objectPath),
            QLatin1String(host::dbus::interfaceName), QStringLiteral("Invoke"));
        call << QVariant::fromValue(qulonglong(host::dbus::applicationId)) << QStringLiteral("Save")
             << 2 << QVariant(QVariantList()) << QVariant::fromValue(QList<qulonglong>());
        saver.send(call);
    }

    QDBusConnection saver = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "saver");
};

TEST_F(EditorKilledTest, AtTenRandomPointsOfARunTheSavedDesignSurvivesWhole) {
    startOnAFreshBoard();
    test::netNameLabelsWithVias(*window);
    ASSERT_TRUE(window->takeMessages().empty());
    const std::size_t calls = log->calls.size();
    host::attachRunningEditor().call(u"Save");
    const std::vector<test::Label> runLabels =
        test::marked(host::memory::loadDesign(path.toStdString()));
    ASSERT_GT(calls, 100u);

    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    int savesLanded = 0;
    for (int trial = 0; trial < 10; ++trial) {
        const std::size_t k = std::uniform_int_distribution<std::size_t>(1, calls)(random);
        const bool saving = trial % 2 == 1;
        SCOPED_TRACE(::testing::Message() << "seed " << seed << ", killed before call " << k
                                          << " of " << calls << (saving ? " while saving" : ""));
        startOnAFreshBoard();
        host::attachRunningEditor().call(u"Save");
        const QByteArray lastSaved = contentOf(path);
        const auto pause = std::uniform_int_distribution<int>(0, 2000)(random);
        std::size_t labelsBefore = 0;
        log->beforeCall = [&](const host::RecordedCall& call) {
            if (log->calls.size() < k) {
                labelsBefore += call.member == u"AddText";
                return;
            }
            if (log->calls.size() > k) {
                return;
            }
            if (saving) {
                saveWithoutWaiting();
                QThread::usleep(static_cast<unsigned long>(pause));
            }
            editor->sendSignal(SIGKILL);
            editor->waitForExit();
        };
        test::netNameLabelsWithVias(*window);
        log->beforeCall = nullptr;

        const auto shown = window->takeMessages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].text.startsWith("运行时错误 '462':")) << shown[0].text.toStdString();
        EXPECT_EQ(window->programEnds, 0);
        const QByteArray now = contentOf(path);
        if (now == lastSaved) {
            continue;
        }
        ++savesLanded;
        // Only a save that finished before the kill may have replaced the file, and whole.
        EXPECT_TRUE(saving) << "the file changed although nobody saved";
        const std::vector<test::Label> saved =
            test::marked(host::memory::parseDesign(now.toStdString(), path.toStdString()));
        const std::vector<test::Label> before =
            test::marked(host::memory::parseDesign(lastSaved.toStdString(), path.toStdString()));
        ASSERT_GE(saved.size(), before.size());
        ASSERT_LE(saved.size() - before.size(), labelsBefore);
        EXPECT_TRUE(std::equal(saved.begin() + before.size(), saved.end(),
                               runLabels.begin() + before.size()));
    }
    std::printf("%d of 5 saves racing the kill landed, whole\n", savesLanded);
}

} // namespace
