// Shows the window attached to an in-memory design read from a design file and saves a
// picture of it: tagwright_window_preview DESIGN.json OUT.png
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "window/qt/FormWindow.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace tagwright;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DESIGN.json OUT.png\n", argv[0]);
        return 2;
    }
    std::shared_ptr<host::memory::Design> design;
    try {
        design = std::make_shared<host::memory::Design>(host::memory::loadDesign(argv[1]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    window::qt::FormWindow window(
        [design] { return host::HostApplication(host::memory::makeApplication(design)); });
    if (!window.form().Form_Load())
        return 1;
    window.show();

    int status = 1;
    // Let the window be mapped and painted once before it is grabbed.
    QTimer::singleShot(500, &window, [&] {
        status = window.grab().save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
        if (status != 0)
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
        QCoreApplication::exit(status);
    });
    app.exec();
    return status;
}
