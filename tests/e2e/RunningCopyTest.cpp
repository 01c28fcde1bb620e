// A second start of the program while one copy runs on the session bus: it brings that copy
// to the front and ends at once, without attaching to the editor or showing anything.
#include "app/RunningCopy.h"
#include "support/BusHarness.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

namespace {

using tagwright::app::RunningCopy;

class RunningCopyTest : public ::testing::Test {
  protected:
    static bool nameTaken() {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QLatin1String(RunningCopy::busName));
    }
    // Starts the program and waits, serving this process's bus meanwhile, until it ends or
    // `limitMs` passed. Offscreen, a message box never goes away on its own, so a copy that
    // showed one would not end either.
    static void start(QProcess& program, int limitMs) {
        program.start(QStringLiteral(TAGWRIGHT_PROGRAM), QStringList());
        ASSERT_TRUE(program.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (program.state() != QProcess::NotRunning && waited.elapsed() < limitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            program.waitForFinished(10);
        }
    }
    static void expectEndedQuietly(const QProcess& program) {
        EXPECT_EQ(std::tuple(program.state(), program.exitStatus(), program.exitCode()),
                  std::tuple(QProcess::NotRunning, QProcess::NormalExit, 0));
    }
};

// No editor runs: a copy that went on to attach would stay with the notice that none does.
TEST_F(RunningCopyTest, ASecondStartAsksTheRunningCopyToComeToTheFrontAndEnds) {
    const QString connection = QStringLiteral("running copy");
    int activations = 0;
    {
        RunningCopy running([&activations] { ++activations; });
        ASSERT_TRUE(
            running.claim(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connection)));
        QProcess second;
        start(second, 5'000);
        expectEndedQuietly(second);
        QCoreApplication::processEvents();
        EXPECT_TRUE(nameTaken());
    }
    QDBusConnection::disconnectFromBus(connection);
    EXPECT_EQ(activations, 1);
}

TEST_F(RunningCopyTest, TheRunningProgramStaysWhenASecondStartEnds) {
    QTemporaryDir dir;
    const QString board = dir.filePath(QStringLiteral("board.json"));
    ASSERT_TRUE(tagwright::testing::copyDemoBoard(board));
    tagwright::testing::StandinProcess editor({board});
    ASSERT_TRUE(editor.waitUntilServing()) << editor.errors().toStdString();
    QProcess first;
    start(first, 0);
    QElapsedTimer waited;
    waited.start();
    while (!nameTaken() && waited.elapsed() < 10'000) {
        first.waitForFinished(10);
    }
    ASSERT_TRUE(nameTaken());

    QProcess second;
    start(second, 5'000);
    expectEndedQuietly(second);
    EXPECT_FALSE(first.waitForFinished(500)) << "the running copy ended";
    EXPECT_TRUE(nameTaken());
    first.kill();
    first.waitForFinished();
}

// Where the session has no bus to find another copy on, the program runs as it always did.
TEST_F(RunningCopyTest, WithoutABusEveryStartRuns) {
    RunningCopy alone([] {});
    EXPECT_TRUE(alone.claim(QDBusConnection(QStringLiteral("not connected"))));
}

} // namespace
