#include "window/qt/Messages.h"

#include <QMessageBox>

namespace tagwright::window::qt {

void MessageBoxes::show(const QString& text, const QString& title) {
    // Before the window is first shown (the attach failure at load) the box stands alone.
    QWidget* parent = owner_ != nullptr && owner_->isVisible() ? owner_ : nullptr;
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    // The window's fonts name the simplified Chinese faces; the toolkit's default may not.
    if (owner_ != nullptr) {
        box.setFont(owner_->font());
    }
    box.exec();
}

} // namespace tagwright::window::qt
