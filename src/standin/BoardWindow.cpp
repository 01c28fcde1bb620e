#include "standin/BoardWindow.h"

#include "host/Failure.h"
#include "host/memory/DesignFile.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QToolBar>

namespace tagwright::standin {

namespace {

const QString fileFilter = QStringLiteral("Designs (*.json);;All files (*)");

QIcon swatch(const QColor& colour, bool framed = false) {
    QPixmap picture(14, 14);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    if (framed) {
        painter.setPen(QPen(colour, 1, Qt::DotLine));
        painter.drawRect(1, 1, 12, 12);
        painter.fillRect(4, 4, 7, 7, colour);
    } else {
        painter.fillRect(1, 1, 12, 12, colour);
    }
    return QIcon(picture);
}

QString toQString(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString pathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

} // namespace

QString unitName(std::int32_t unit) {
    switch (unit) {
    case 2:
        return QStringLiteral("mil");
    case 3:
        return QStringLiteral("in");
    case 4:
        return QStringLiteral("mm");
    default:
        return QStringLiteral("unit %1").arg(unit);
    }
}

BoardWindow::BoardWindow(BoardSession& session, QWidget* parent)
    : QMainWindow(parent), session_(session), view_(new BoardView(this)), counts_(new QLabel(this)),
      pointer_(new QLabel(this)), unit_(new QLabel(this)), legend_(new QListWidget(this)) {
    setObjectName(QStringLiteral("boardWindow"));
    setCentralWidget(view_);
    resize(900, 620);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open…"), QKeySequence::Open, this, &BoardWindow::open);
    file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, [this] { save(); });
    file->addAction(QStringLiteral("Save &As…"), QKeySequence::SaveAs, this, [this] { saveAs(); });
    file->addSeparator();
    file->addAction(QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), this,
                    &QWidget::close);

    QToolBar* tools = addToolBar(QStringLiteral("View"));
    tools->setObjectName(QStringLiteral("viewTools"));
    tools->setMovable(false);
    QAction* fit = tools->addAction(QStringLiteral("Fit"), view_, &BoardView::fit);
    fit->setObjectName(QStringLiteral("fitAction"));
    fit->setShortcut(Qt::Key_F);
    fit->setToolTip(QStringLiteral("Show the whole board (F)"));

    auto* dock = new QDockWidget(QStringLiteral("Layers"), this);
    dock->setObjectName(QStringLiteral("legend"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    legend_->setSelectionMode(QAbstractItemView::NoSelection);
    legend_->setFocusPolicy(Qt::NoFocus);
    legend_->setMaximumWidth(190);
    // The swatches read as on the board: on its dark ground.
    QPalette dark = legend_->palette();
    dark.setColor(QPalette::Base, QColor(0x10, 0x14, 0x18));
    dark.setColor(QPalette::Text, QColor(0xd8, 0xdc, 0xe0));
    legend_->setPalette(dark);
    dock->setWidget(legend_);
    addDockWidget(Qt::RightDockWidgetArea, dock);

    statusBar()->addWidget(counts_, 1);
    statusBar()->addPermanentWidget(pointer_);
    statusBar()->addPermanentWidget(unit_);
    connect(view_, &BoardView::pointerMoved, this, &BoardWindow::showPointer);
    countsTimer_.setSingleShot(true);
    countsTimer_.setInterval(250);
    connect(&countsTimer_, &QTimer::timeout, this, &BoardWindow::showCounts);
    connect(view_, &BoardView::repainted, this, [this] {
        if (!countsTimer_.isActive()) {
            countsTimer_.start();
        }
    });

    ask_ = [this] {
        const auto answer = QMessageBox::question(
            this, windowTitle().remove(QStringLiteral("[*]")),
            QStringLiteral("The design has changes that are not saved. Save them?"),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        return answer == QMessageBox::Save      ? Answer::Save
               : answer == QMessageBox::Discard ? Answer::Discard
                                                : Answer::Cancel;
    };
    chooseOpen_ = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Open a design"), QString(),
                                            fileFilter);
    };
}

void BoardWindow::showDesign(std::shared_ptr<host::memory::Design> design) {
    design_ = std::move(design);
    view_->setScene(design_ ? std::make_shared<BoardScene>(design_) : nullptr);
    unit_->setText(design_ ? QStringLiteral("unit: ") + unitName(design_->unit) : QString());
    pointer_->clear();
    showLegend();
    showCounts();
    showTitle();
}

void BoardWindow::designChanged(const host::memory::DesignChange& change) {
    view_->designChanged(change);
    if (isWindowModified() != session_.unsaved()) {
        setWindowModified(session_.unsaved());
    }
}

void BoardWindow::sessionSaved() {
    showTitle();
}

void BoardWindow::showTitle() {
    const auto file = session_.file();
    // The placeholder is where Qt puts the "*" of unsaved changes.
    setWindowTitle(file ? pathText(file->filename()) + QStringLiteral("[*]")
                        : QStringLiteral("(no design)"));
    setWindowModified(session_.unsaved());
}

void BoardWindow::showCounts() {
    const BoardScene* scene = view_->scene();
    if (!scene) {
        counts_->setText(QStringLiteral("No design is open"));
        return;
    }
    const auto n = scene->counts();
    counts_->setText(QStringLiteral("Components %1 · Pins %2 · Vias %3 · Texts %4 · Labels %5")
                         .arg(n.components)
                         .arg(n.pins)
                         .arg(n.vias)
                         .arg(n.texts)
                         .arg(n.labels));
}

void BoardWindow::showPointer(double x, double y) {
    if (design_) {
        pointer_->setText(QStringLiteral("x %1  y %2 %3")
                              .arg(x, 0, 'f', 2)
                              .arg(y, 0, 'f', 2)
                              .arg(unitName(design_->unit)));
    }
}

void BoardWindow::showLegend() {
    legend_->clear();
    if (!design_) {
        return;
    }
    for (std::size_t i = 0; i < design_->layers.size(); ++i) {
        const auto layer = static_cast<std::int32_t>(i + 1);
        legend_->addItem(new QListWidgetItem(
            swatch(BoardView::layerColour(layer)),
            QStringLiteral("%1  %2").arg(layer).arg(toQString(design_->layers[i]))));
    }
    legend_->addItem(new QListWidgetItem(swatch(QColor(0xe8, 0xe8, 0xe8), true),
                                         QStringLiteral("{…} label (framed)")));
    legend_->addItem(
        new QListWidgetItem(swatch(BoardView::selectionColour), QStringLiteral("selected")));
}

void BoardWindow::tellFailure(const QString& what, const QString& why) {
    QMessageBox::warning(this, QStringLiteral("Stand-in editor"),
                         what + QStringLiteral("\n\n") + why);
}

std::uint64_t BoardWindow::revision() const {
    return design_ ? design_->revision : 0;
}

bool BoardWindow::mayDropEdits() {
    // Clients keep editing while the question is up: edits that arrived meanwhile were not
    // part of what the user answered about, and are asked about in turn.
    for (std::optional<std::uint64_t> answered; session_.unsaved() && revision() != answered;) {
        answered = revision();
        switch (ask_()) {
        case Answer::Save:
            if (!save()) {
                return false;
            }
            break;
        case Answer::Discard:
            break;
        case Answer::Cancel:
            return false;
        }
    }
    return true;
}

void BoardWindow::open() {
    if (!mayDropEdits()) {
        return;
    }
    // So does the file dialog keep them editing.
    const std::uint64_t answered = revision();
    const QString chosen = chooseOpen_();
    if (chosen.isEmpty() || (revision() != answered && !mayDropEdits())) {
        return;
    }
    try {
        session_.open(chosen.toStdString());
    } catch (const host::memory::DesignFileError& error) {
        tellFailure(QStringLiteral("The design was not opened."), QString::fromUtf8(error.what()));
    }
}

bool BoardWindow::save() {
    if (!session_.file()) {
        return saveAs();
    }
    try {
        session_.save();
    } catch (const host::Failure& failure) {
        tellFailure(QStringLiteral("The design was not saved."), toQString(failure.description()));
        return false;
    }
    showTitle();
    return true;
}

bool BoardWindow::saveAs() {
    if (!design_) {
        return false;
    }
    const auto file = session_.file();
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save the design as"), file ? pathText(*file) : QString(), fileFilter);
    if (chosen.isEmpty()) {
        return false;
    }
    try {
        session_.saveAs(chosen.toStdString());
    } catch (const host::Failure& failure) {
        tellFailure(QStringLiteral("The design was not saved."), toQString(failure.description()));
        return false;
    }
    showTitle();
    return true;
}

void BoardWindow::closeEvent(QCloseEvent* event) {
    if (!mayDropEdits()) {
        event->ignore();
        return;
    }
    event->accept();
    session_.end();
}

} // namespace tagwright::standin
