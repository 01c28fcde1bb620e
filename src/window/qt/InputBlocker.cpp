#include "window/qt/InputBlocker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace tagwright::window::qt {

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

InputBlocker::InputBlocker(QWidget* window) : window_(window) {
    QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject* receiver, QEvent* event) {
    if (!receiver->isWidgetType() || !isUserInput(event->type())) {
        return false;
    }
    if (static_cast<QWidget*>(receiver)->window() != window_) {
        return false;
    }
    // Nothing further up acts on a dropped event either.
    event->ignore();
    return true;
}

} // namespace tagwright::window::qt
