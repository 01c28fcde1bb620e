#include "window/qt/FormWindow.h"

#include "ui_frmTagwright.h"
#include "window/qt/EntryFilter.h"
#include "window/qt/TaskbarHint.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>

#include <algorithm>
#include <utility>
#include <vector>

// The icon lives in this static library's resources, which the linker would otherwise drop.
static void initWindowResources() {
    Q_INIT_RESOURCE(tagwright);
}

namespace tagwright::window::qt {

namespace {

// "SimSun" where it is installed; otherwise the simplified Chinese faces, named explicitly so
// that fontconfig does not pick a Japanese face under a C or English locale.
const QStringList chineseFamilies = {
    QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Sans CJK SC"),
    QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("AR PL UMing CN")};

QString toQt(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

// Keeps the page controls where the window description puts them, in the tab control's
// coordinates, whatever height the style and font give the tab strip.
class PagePlacement : public QObject {
  public:
    explicit PagePlacement(QTabWidget* tabs) : QObject(tabs), tabs_(tabs) {
        for (int page = 0; page < tabs->count(); ++page) {
            for (QWidget* control :
                 tabs->widget(page)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                designed_.push_back({control, control->pos()});
        }
        // The page stack is what the tab control moves below its strip.
        tabs->widget(0)->parentWidget()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            place();
        return false;
    }

  private:
    void place() {
        for (const auto& [control, position] : designed_) {
            const QPoint inPage = position - control->parentWidget()->mapTo(tabs_, QPoint());
            control->move(std::max(0, inPage.x()), std::max(0, inPage.y()));
        }
    }

    QTabWidget* tabs_;
    std::vector<std::pair<QWidget*, QPoint>> designed_;
};

} // namespace

FormWindow::FormWindow(host::AttachFunction attach, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::frmTagwright>()),
      messages_(std::make_unique<MessageBoxes>(this)), endProgram_([this] {
          hide();
          QCoreApplication::exit(0);
      }),
      form_(*this, std::move(attach)) {
    initWindowResources();
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(353, 310);
    QIcon icon(QStringLiteral(":/tagwright/tagwright.png"));
    icon.addFile(QStringLiteral(":/tagwright/tagwright-16.png"));
    setWindowIcon(icon);
    applyFonts();
    new PagePlacement(ui_->tabObjList);

    // Typed rotations are read from the field; they never become list items.
    ui_->cboLabelRotation->setCompleter(nullptr);
    ui_->cboLabelRotation->setCurrentIndex(-1);
    ui_->cboLabelRotation->clearEditText();

    connectHandlers();
}

FormWindow::~FormWindow() {
    if (busy_)
        QApplication::restoreOverrideCursor();
}

void FormWindow::applyFonts() {
    QFont base = font();
    base.setFamilies(QStringList{QStringLiteral("Times New Roman")} + chineseFamilies);
    setFont(base);
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->testAttribute(Qt::WA_SetFont) &&
            child->font().family() == QLatin1String("SimSun")) {
            QFont own = child->font();
            own.setFamilies(chineseFamilies);
            child->setFont(own);
        }
    }
}

void FormWindow::connectHandlers() {
    const auto onClick = [this](QPushButton* button, void (frmTagwright::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { (form_.*handler)(); });
    };
    onClick(ui_->cmdAddLabel, &frmTagwright::cmdAddLabel_Click);
    onClick(ui_->cmdDeleteLabel, &frmTagwright::cmdDeleteLabel_Click);
    onClick(ui_->cmdUpdateList, &frmTagwright::cmdUpdateList_Click);
    onClick(ui_->cmdHelp, &frmTagwright::cmdHelp_Click);
    onClick(ui_->cmdClose, &frmTagwright::cmdClose_Click);
    onClick(ui_->cmdLocateComp, &frmTagwright::cmdLocateComp_Click);
    onClick(ui_->cmdLocateNet, &frmTagwright::cmdLocateNet_Click);

    for (std::int16_t index = 0; index < 3; ++index) {
        connect(option(index), &QRadioButton::clicked, this, [this, index] {
            keepChosenOptionTabStop();
            form_.optLabelType_Click(index);
        });
        // The arrow keys move the choice within the group without a click.
        connect(option(index), &QRadioButton::toggled, this, [this] { keepChosenOptionTabStop(); });
    }

    const auto onKeyPress = [this](QWidget* edit, void (frmTagwright::*handler)(std::int16_t&)) {
        // Numbers only: an input method would only compose characters that get dropped.
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
        installKeyPress(edit,
                        [this, handler](std::int16_t& keyAscii) { (form_.*handler)(keyAscii); });
    };
    onKeyPress(ui_->txtLabelFontH, &frmTagwright::txtLabelFontH_KeyPress);
    onKeyPress(ui_->txtLabelFontW, &frmTagwright::txtLabelFontW_KeyPress);
    onKeyPress(ui_->txtLabelOffsetX, &frmTagwright::txtLabelOffsetX_KeyPress);
    onKeyPress(ui_->txtLabelOffsetY, &frmTagwright::txtLabelOffsetY_KeyPress);
    // Keys reach the combo box or, when it has the focus itself, its edit field.
    onKeyPress(ui_->cboLabelRotation, &frmTagwright::cboLabelRotation_KeyPress);
    onKeyPress(ui_->cboLabelRotation->lineEdit(), &frmTagwright::cboLabelRotation_KeyPress);
}

void FormWindow::keepChosenOptionTabStop() {
    // Qt does the same once an option has had the focus; until then every option is a stop.
    for (int index = 0; index < 3; ++index) {
        QRadioButton* member = option(index);
        const Qt::FocusPolicy policy = member->focusPolicy();
        member->setFocusPolicy(member->isChecked() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                   : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

QListWidget* FormWindow::list(ListBox list) const {
    switch (list) {
    case ListBox::lstCompList:
        return ui_->lstCompList;
    case ListBox::lstNetList:
        return ui_->lstNetList;
    case ListBox::lstNetClassList:
        break;
    }
    return ui_->lstNetClassList;
}

QCheckBox* FormWindow::box(CheckBox box) const {
    switch (box) {
    case CheckBox::chkSelectedComp:
        return ui_->chkSelectedComp;
    case CheckBox::chkUnUsedPins:
        return ui_->chkUnUsedPins;
    case CheckBox::chkVias:
        return ui_->chkVias;
    case CheckBox::chkSelectedNets:
        return ui_->chkSelectedNets;
    case CheckBox::chkSelectedNetClasses:
        break;
    }
    return ui_->chkSelectedNetClasses;
}

QLineEdit* FormWindow::field(TextBox box) const {
    switch (box) {
    case TextBox::txtLabelOffsetX:
        return ui_->txtLabelOffsetX;
    case TextBox::txtLabelOffsetY:
        return ui_->txtLabelOffsetY;
    case TextBox::txtLabelFontH:
        return ui_->txtLabelFontH;
    case TextBox::txtLabelFontW:
        break;
    }
    return ui_->txtLabelFontW;
}

QRadioButton* FormWindow::option(int index) const {
    QRadioButton* const options[] = {ui_->optLabelType_0, ui_->optLabelType_1, ui_->optLabelType_2};
    return options[index];
}

void FormWindow::listClear(ListBox which) {
    list(which)->clear();
}

void FormWindow::listAppend(ListBox which, const std::u16string& text) {
    list(which)->addItem(toQt(text));
}

int FormWindow::listCount(ListBox which) const {
    return list(which)->count();
}

std::u16string FormWindow::listText(ListBox which, int index) const {
    return list(which)->item(index)->text().toStdU16String();
}

bool FormWindow::listSelected(ListBox which, int index) const {
    return list(which)->item(index)->isSelected();
}

void FormWindow::layerClear() {
    ui_->cboLabelLayer->clear();
}

void FormWindow::layerAppend(const std::u16string& text) {
    ui_->cboLabelLayer->addItem(toQt(text));
}

int FormWindow::layerCount() const {
    return ui_->cboLabelLayer->count();
}

int FormWindow::layerIndex() const {
    return ui_->cboLabelLayer->currentIndex();
}

void FormWindow::setLayerIndex(int index) {
    ui_->cboLabelLayer->setCurrentIndex(index);
}

std::u16string FormWindow::rotationText() const {
    return ui_->cboLabelRotation->currentText().toStdU16String();
}

void FormWindow::setRotationIndex(int index) {
    ui_->cboLabelRotation->setCurrentIndex(index);
}

bool FormWindow::checked(CheckBox which) const {
    return box(which)->isChecked();
}

void FormWindow::setEnabled(CheckBox which, bool enabled) {
    box(which)->setEnabled(enabled);
}

std::u16string FormWindow::text(TextBox which) const {
    return field(which)->text().toStdU16String();
}

void FormWindow::chooseOption(int index) {
    // Programmatic choices emit toggled, not clicked: the form runs its own handler.
    option(index)->setChecked(true);
    keepChosenOptionTabStop();
}

std::u16string FormWindow::optionCaption(int index) const {
    return option(index)->text().toStdU16String();
}

void FormWindow::focusChosenOption() {
    for (int index = 0; index < 3; ++index) {
        if (option(index)->isChecked())
            option(index)->setFocus(Qt::OtherFocusReason);
    }
}

int FormWindow::currentPage() const {
    return ui_->tabObjList->currentIndex();
}

void FormWindow::setCurrentPage(int page) {
    ui_->tabObjList->setCurrentIndex(page);
}

void FormWindow::setPageAvailable(int page, bool available) {
    ui_->tabObjList->setTabEnabled(page, available);
}

void FormWindow::showMessage(const std::u16string& text, const std::u16string& title) {
    messages_->show(toQt(text), toQt(title));
}

void FormWindow::setBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void FormWindow::endProgram() {
    endProgram_();
}

void FormWindow::showEvent(QShowEvent* event) {
    // Sent before the window is mapped, which is when the taskbar hint has to be in place.
    keepOffTaskbar(this);
    QWidget::showEvent(event);
}

void FormWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    form_.Form_Close();
}

} // namespace tagwright::window::qt
