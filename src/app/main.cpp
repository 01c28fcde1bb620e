#include "host/Attach.h"
#include "window/frmTagwright.h"

#include <QApplication>

#ifdef Q_OS_WIN
#include "host/com/ComApartment.h"
#endif

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
#ifdef Q_OS_WIN
    // Declared before the window, so the apartment outlives every host object it holds.
    tagwright::host::com::ComApartment apartment;
    // A window with an owner gets no taskbar button; the owner is never shown, but it needs a
    // native window of its own to become the owner.
    QWidget owner;
    owner.winId();
    tagwright::window::frmTagwright window(tagwright::host::attachRunningEditor, &owner);
#else
    tagwright::window::frmTagwright window(tagwright::host::attachRunningEditor);
#endif
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}
