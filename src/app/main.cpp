// The program on Linux: the Qt front end of the window, attached over the session bus.
#include "app/CommandLine.h"
#include "app/RunningCopy.h"
#include "host/Attach.h"
#include "window/qt/FormWindow.h"

#include <QApplication>
#include <QDBusConnection>
#include <QMessageBox>

#include <vector>

int main(int argc, char* argv[]) {
    using namespace tagwright;
    // Takes Qt's own options out of argv first.
    QApplication app(argc, argv);
    // The window is made after the claim, so a later start neither attaches nor shows anything.
    window::qt::FormWindow* shown = nullptr;
    app::RunningCopy runningCopy([&shown] {
        if (shown && shown->isVisible()) {
            shown->setWindowState(shown->windowState() & ~Qt::WindowMinimized);
            shown->raise();
            shown->activateWindow();
        }
        // A message or the progress window over it stays in front of it.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->raise();
            modal->activateWindow();
        }
    });
    if (!runningCopy.claim(QDBusConnection::sessionBus())) {
        return 0;
    }
    const std::vector<std::filesystem::path> arguments(argv + std::min(argc, 1), argv + argc);
    auto attach = app::editorAttach(app::parseCommandLine(arguments), host::attachRunningEditor,
                                    [](const std::u16string& text) {
                                        QMessageBox::warning(nullptr, QStringLiteral("Tagwright"),
                                                             QString::fromStdU16String(text));
                                    });
    window::qt::FormWindow window(attach);
    shown = &window;
    if (!window.form().Form_Load()) {
        return 0;
    }
    window.show();
    return app.exec();
}
