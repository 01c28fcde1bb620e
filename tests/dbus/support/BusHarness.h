#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>

namespace tagwright::testing {

// Everything in the file at `path`, or nothing when it cannot be read.
inline QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#ifdef DEMO_BOARD
// A fresh copy of the sample board at `path`, writable by its owner alone, as a user's is.
inline bool copyDemoBoard(const QString& path) {
    QFile::remove(path);
    return QFile::copy(QStringLiteral(DEMO_BOARD), path) &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}
#endif

// A session bus of this test process's own, so tests that claim the editor's well-known name
// can run side by side. Sets DBUS_SESSION_BUS_ADDRESS, so it must exist before QtDBus is used.
// With `asSessionBus` false it is just another bus, reached by its address.
class PrivateBus {
  public:
    explicit PrivateBus(bool asSessionBus = true) {
        // It complains about resource limits it may not raise; the tests do not care.
        daemon_.setStandardErrorFile(QProcess::nullDevice());
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        while (!daemon_.canReadLine()) {
            if (!daemon_.waitForReadyRead(10'000)) {
                throw std::runtime_error("dbus-daemon did not start");
            }
        }
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        if (asSessionBus) {
            qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
        }
    }
    ~PrivateBus() { stop(); }

    const QString& address() const { return address_; }
    // Ends the bus, as when a desktop session ends under its programs.
    void stop() {
        daemon_.terminate();
        daemon_.waitForFinished();
    }

  private:
    QProcess daemon_;
    QString address_;
};

// The stand-in editor run as the separate program it is, on the current session bus.
class StandinProcess {
  public:
    static constexpr int patienceMs = 10'000;

    // `busAddress` empty: the session bus of the test. `launcher`, when given, starts the
    // editor: a program and its arguments, before the editor's path and `args`.
    explicit StandinProcess(const QStringList& args, const QString& busAddress = {},
                            const QStringList& launcher = {}) {
        if (!busAddress.isEmpty()) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
            process_.setProcessEnvironment(environment);
        }
        // The tests watch the editor through the bus and its output, never its window.
        const QStringList all = QStringList{QStringLiteral("--headless")} + args;
        if (launcher.isEmpty()) {
            process_.start(QStringLiteral(EDITOR_STANDIN), all);
        } else {
            process_.start(launcher[0],
                           launcher.mid(1) + QStringList{QStringLiteral(EDITOR_STANDIN)} + all);
        }
    }
    ~StandinProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(patienceMs);
        }
    }

    // True once it announced that it serves; false when it ended or stayed silent instead.
    bool waitUntilServing() { return waitForOutput(QStringLiteral("serving ")); }
    // True once `text` appeared on its standard output.
    bool waitForOutput(const QString& text) {
        while (!output().contains(text)) {
            if (!process_.waitForReadyRead(patienceMs)) {
                return output().contains(text);
            }
        }
        return true;
    }
    // Waits for the end and returns the exit status, or -1 for a crash or a timeout.
    int waitForExit() {
        const bool ended = process_.waitForFinished(patienceMs);
        return ended && process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    void sendSignal(int number) {
        // A finished process has no id; kill(0) would signal the whole test instead.
        if (process_.state() == QProcess::Running && process_.processId() > 0) {
            ::kill(static_cast<pid_t>(process_.processId()), number);
        }
    }
    // Stops it as a debugger or a wedged machine would. A stop reaches each thread only when
    // that thread next runs, and until then its bus thread could still answer calls; the parent
    // hears of the stop once every thread has stopped, so this returns then.
    bool stop() {
        sendSignal(SIGSTOP);
        siginfo_t stopped{};
        return ::waitid(P_PID, static_cast<id_t>(processId()), &stopped, WSTOPPED | WNOWAIT) == 0;
    }
    // Everything it wrote to its standard error so far.
    QString errors() { return errors_ += QString::fromUtf8(process_.readAllStandardError()); }
    qint64 processId() const { return process_.processId(); }

  private:
    const QString& output() {
        return output_ += QString::fromUtf8(process_.readAllStandardOutput());
    }

    QProcess process_;
    QString output_, errors_;
};

} // namespace tagwright::testing
