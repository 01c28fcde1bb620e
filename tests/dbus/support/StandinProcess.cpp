#include "support/StandinProcess.h"

#include <signal.h>

namespace tagwright::testing {

constexpr int patienceMs = 10'000;

StandinProcess::StandinProcess(const QStringList& args) {
    process_.start(QStringLiteral(EDITOR_STANDIN), args);
}

StandinProcess::~StandinProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(patienceMs);
    }
}

bool StandinProcess::waitForOutput(const QString& text) {
    while (!output().contains(text))
        if (!process_.waitForReadyRead(patienceMs))
            return output().contains(text);
    return true;
}

int StandinProcess::waitForExit() {
    const bool ended = process_.waitForFinished(patienceMs);
    return ended && process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

void StandinProcess::sendSignal(int number) {
    // A finished process has no id; kill(0) would signal the whole test instead.
    if (process_.state() == QProcess::Running && process_.processId() > 0)
        ::kill(static_cast<pid_t>(process_.processId()), number);
}

QString StandinProcess::output() {
    output_ += QString::fromUtf8(process_.readAllStandardOutput());
    return output_;
}

QString StandinProcess::errors() {
    return QString::fromUtf8(process_.readAllStandardError());
}

} // namespace tagwright::testing
