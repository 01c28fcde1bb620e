// The program on Linux: the Qt front end of the window, attached over the session bus.
#include "app/CommandLine.h"
#include "host/Attach.h"
#include "window/qt/FormWindow.h"

#include <QApplication>
#include <QMessageBox>

#include <vector>

int main(int argc, char* argv[]) {
    using namespace tagwright;
    // Takes Qt's own options out of argv first.
    QApplication app(argc, argv);
    const std::vector<std::filesystem::path> arguments(argv + std::min(argc, 1), argv + argc);
    auto attach = app::editorAttach(app::parseCommandLine(arguments), host::attachRunningEditor,
                                    [](const std::u16string& text) {
                                        QMessageBox::warning(nullptr, QStringLiteral("Tagwright"),
                                                             QString::fromStdU16String(text));
                                    });
    window::qt::FormWindow window(attach);
    if (!window.form().Form_Load()) {
        return 0;
    }
    window.show();
    return app.exec();
}
