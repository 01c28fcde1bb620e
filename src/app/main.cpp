// The program on Linux: the Qt front end of the window, attached over the session bus.
#include "host/Attach.h"
#include "window/qt/FormWindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    tagwright::window::qt::FormWindow window(tagwright::host::attachRunningEditor);
    if (!window.form().Form_Load())
        return 0;
    window.show();
    return app.exec();
}
