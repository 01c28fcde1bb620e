#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace tagwright::testing {

// The stand-in editor run as the separate program it is, on the current session bus.
class StandinProcess {
  public:
    explicit StandinProcess(const QStringList& args);
    ~StandinProcess();

    // True once it announced that it serves; false when it ended or stayed silent instead.
    bool waitUntilServing() { return waitForOutput(QStringLiteral("serving ")); }
    // True once `text` appeared on its standard output.
    bool waitForOutput(const QString& text);
    // Waits for the end and returns the exit status, or -1 for a crash or a timeout.
    int waitForExit();
    void sendSignal(int number);

    QString output();
    QString errors();

  private:
    QProcess process_;
    QString output_;
};

} // namespace tagwright::testing
