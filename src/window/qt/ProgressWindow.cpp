#include "window/qt/ProgressWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tagwright::window::qt {

ProgressWindow::ProgressWindow(QWidget* owner, const QFont& font, bool cancellable,
                               std::function<void()> cancel)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      text_(new QLabel(this)), bar_(new QProgressBar(this)),
      cancel_(new QPushButton(QStringLiteral("取消"), this)), onCancel_(std::move(cancel)) {
    setObjectName(QStringLiteral("frmProgress"));
    text_->setObjectName(QStringLiteral("lblProgress"));
    bar_->setObjectName(QStringLiteral("barProgress"));
    cancel_->setObjectName(QStringLiteral("cmdCancel"));
    setWindowTitle(QStringLiteral("Tagwright"));
    setFont(font);
    setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);

    bar_->setTextVisible(false);
    cancel_->setVisible(cancellable);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { onCancel_(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    // Wide enough for the longest line at the window's 9-pt size, so it never grows while the
    // counts do.
    setFixedWidth(fontMetrics().horizontalAdvance(
                      QStringLiteral("正在读取列表… 元器件 00000  网络 00000  网络类型 000")) +
                  2 * layout->contentsMargins().left());
}

void ProgressWindow::setProgress(const QString& text, int value, int maximum) {
    text_->setText(text);
    bar_->setRange(0, maximum);
    if (maximum > 0) {
        bar_->setValue(value);
    }
}

void ProgressWindow::reject() {
    // Escape: the cancel button's, where there is one; never closes the window by itself.
    if (cancel_->isVisible()) {
        cancel_->click();
    }
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    // Only the run closes its window.
    event->ignore();
}

} // namespace tagwright::window::qt
