#include "window/qt/EntryFilter.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QWidget>

namespace tagwright::window::qt {

namespace {

constexpr std::int16_t backspace = 8;

class KeyPressFilter : public QObject {
  public:
    KeyPressFilter(QObject* parent, KeyPressHandler handler)
        : QObject(parent), handler_(std::move(handler)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (resending_) {
            return false;
        }
        if (event->type() == QEvent::KeyPress) {
            return filterKey(watched, static_cast<QKeyEvent*>(event));
        }
        if (event->type() == QEvent::InputMethod) {
            return filterCommit(watched, static_cast<QInputMethodEvent*>(event));
        }
        return false;
    }

  private:
    // The codes a system keyboard would type: Ctrl with a letter types its control code
    // whatever text the platform attached to the event.
    static QString typedText(const QKeyEvent* key) {
        const int k = key->key();
        if (k == Qt::Key_Tab || k == Qt::Key_Backtab || k == Qt::Key_Delete) {
            return {};
        }
        // Ctrl+Alt is AltGr on some layouts, which types ordinary characters.
        const Qt::KeyboardModifiers held = key->modifiers();
        if ((held & Qt::ControlModifier) && !(held & Qt::AltModifier) && k >= Qt::Key_A &&
            k <= Qt::Key_Z) {
            return QString(QChar(char16_t(k - Qt::Key_A + 1)));
        }
        if (k == Qt::Key_Backspace) {
            return QString(QChar(char16_t(backspace)));
        }
        return key->text();
    }

    QString kept(const QString& typed) const {
        QString result;
        for (const QChar c : typed) {
            auto code = static_cast<std::int16_t>(c.unicode());
            handler_(code);
            if (code != 0) {
                result += QChar(char16_t(code));
            }
        }
        return result;
    }

    bool filterKey(QObject* watched, QKeyEvent* key) {
        const QString typed = typedText(key);
        if (typed.isEmpty()) {
            return false;
        }
        const QString pass = kept(typed);
        if (pass == typed) {
            return false;
        }
        if (!pass.isEmpty() && pass.size() < typed.size()) {
            // Several characters in one event: let through the accepted ones only.
            QKeyEvent copy(QEvent::KeyPress, 0, key->modifiers(), pass, key->isAutoRepeat(),
                           static_cast<quint16>(pass.size()));
            resend(watched, &copy);
        }
        return true;
    }

    bool filterCommit(QObject* watched, QInputMethodEvent* input) {
        const QString typed = input->commitString();
        if (typed.isEmpty()) {
            return false;
        }
        const QString pass = kept(typed);
        if (pass == typed) {
            return false;
        }
        QInputMethodEvent copy(input->preeditString(), input->attributes());
        copy.setCommitString(pass, input->replacementStart(), input->replacementLength());
        resend(watched, &copy);
        return true;
    }

    void resend(QObject* watched, QEvent* event) {
        resending_ = true;
        QCoreApplication::sendEvent(watched, event);
        resending_ = false;
    }

    KeyPressHandler handler_;
    bool resending_ = false;
};

} // namespace

void installKeyPress(QWidget* field, KeyPressHandler handler) {
    field->installEventFilter(new KeyPressFilter(field, std::move(handler)));
}

} // namespace tagwright::window::qt
