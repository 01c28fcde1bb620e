#include "window/qt/FormWindow.h"

#include "window/qt/EntryFilter.h"
#include "window/qt/TaskbarHint.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <utility>

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
constexpr int pointSize = 9;

QString toQt(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

QString toQt(const char16_t* text) {
    return QString::fromUtf16(text);
}

// At 96 dpi, as designed.
int pixels(int twips) {
    return qRound(twips / 15.0);
}

QFont faceOf(QStringList families) {
    QFont font;
    font.setFamilies(families);
    font.setPointSize(pointSize);
    return font;
}

// Object names cannot hold parentheses: optLabelType(0) is optLabelType_0.
QString objectNameOf(const char* name) {
    return QString::fromLatin1(name).replace(QLatin1Char('('), QLatin1Char('_')).remove(')');
}

ControlId controlOf(Container container) {
    switch (container) {
    case Container::Frame1:
        return ControlId::Frame1;
    case Container::Frame2:
        return ControlId::Frame2;
    case Container::Frame4:
        return ControlId::Frame4;
    case Container::TabObjList:
    case Container::Window:
        break;
    }
    return ControlId::tabObjList;
}

} // namespace

FormWindow::FormWindow(host::AttachFunction attach, QWidget* parent)
    : QWidget(parent), messages_(std::make_unique<MessageBoxes>(this)), endProgram_([this] {
          hide();
          QCoreApplication::exit(0);
      }),
      form_(*this, std::move(attach)) {
    initWindowResources();
    build();
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(pixels(clientWidthTwips), pixels(clientHeightTwips));
    QIcon icon(QStringLiteral(":/tagwright/tagwright.png"));
    icon.addFile(QStringLiteral(":/tagwright/tagwright-16.png"));
    setWindowIcon(icon);

    // Typed rotations are read from the field; they never become list items.
    rotation()->setCompleter(nullptr);
    rotation()->setCurrentIndex(-1);
    rotation()->clearEditText();

    dispatchEvents();
}

FormWindow::~FormWindow() {
    // Before the widgets go: their last events must not reach a half-destroyed window.
    QCoreApplication::instance()->removeEventFilter(this);
}

void FormWindow::build() {
    setObjectName(QStringLiteral("frmTagwright"));
    setWindowTitle(toQt(windowCaption));
    setFont(faceOf(QStringList{QStringLiteral("Times New Roman")} + chineseFamilies));
    // Created in tab index order, which is the order the Tab key follows.
    for (const ControlDescription& described : windowDescription()) {
        controls_.push_back(create(described));
    }
    // As designed, the nets page is in front until the form chooses.
    tabs()->setCurrentIndex(netsPage);
    // Keys go to the focus widget first, and the tab control would take Ctrl+Tab for itself;
    // the filter also sees the page stack, which the tab control moves below its strip.
    QCoreApplication::instance()->installEventFilter(this);
}

QWidget* FormWindow::create(const ControlDescription& described) {
    if (static_cast<std::size_t>(described.id) != controls_.size()) {
        throw std::logic_error("the window description is out of order");
    }
    QWidget* parent = this;
    if (described.container == Container::TabObjList) {
        parent = tabs()->widget(described.page);
    } else if (described.container != Container::Window) {
        parent = control(controlOf(described.container));
    }
    const QString text = toQt(described.text);
    QWidget* widget = nullptr;
    switch (described.kind) {
    case ControlKind::Frame:
        widget = new QGroupBox(text, parent);
        break;
    case ControlKind::Caption:
        widget = new QLabel(text, parent);
        // A caption lies beneath the controls it touches: cboLabelLayer's top row is Label1's
        // last.
        widget->lower();
        break;
    case ControlKind::Option:
        widget = new QRadioButton(text, parent);
        break;
    case ControlKind::CheckBox:
        widget = new QCheckBox(text, parent);
        break;
    case ControlKind::Button:
        widget = new QPushButton(text, parent);
        break;
    case ControlKind::TextBox:
        widget = new QLineEdit(text, parent);
        break;
    case ControlKind::EditableCombo: {
        auto* combo = new QComboBox(parent);
        for (const char16_t* item : rotationItems) {
            combo->addItem(toQt(item));
        }
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        widget = combo;
        break;
    }
    case ControlKind::DropDownList:
        widget = new QComboBox(parent);
        break;
    case ControlKind::ListBox: {
        auto* list = new QListWidget(parent);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        widget = list;
        break;
    }
    case ControlKind::TabControl: {
        auto* tabs = new QTabWidget(parent);
        for (const char16_t* caption : pageCaptions) {
            auto* page = new QWidget;
            page->setObjectName(
                QStringLiteral("%1Page_%2").arg(objectNameOf(described.name)).arg(tabs->count()));
            tabs->addTab(page, toQt(caption));
        }
        widget = tabs;
        break;
    }
    }
    widget->setObjectName(objectNameOf(described.name));
    widget->setGeometry(pixels(described.left), pixels(described.top), pixels(described.width),
                        pixels(described.height));
    if (described.face == Face::SimSun) {
        widget->setFont(faceOf(chineseFamilies));
    }
    return widget;
}

void FormWindow::dispatchEvents() {
    for (const ControlDescription& described : windowDescription()) {
        QWidget* widget = control(described.id);
        if (described.click != nullptr) {
            connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this,
                    [this, click = described.click] { click(form_); });
        }
        // The arrow keys move the choice within the group without a click.
        if (described.kind == ControlKind::Option) {
            connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::toggled, this,
                    [this] { keepChosenOptionTabStop(); });
        }
        if (described.keyPress == nullptr) {
            continue;
        }
        // Keys reach a combo box or, when it has the focus itself, its edit field.
        auto* combo = qobject_cast<QComboBox*>(widget);
        for (QWidget* target :
             {widget, combo != nullptr ? static_cast<QWidget*>(combo->lineEdit()) : nullptr}) {
            if (target == nullptr) {
                continue;
            }
            // Numbers only: an input method would only compose characters that get dropped.
            target->setAttribute(Qt::WA_InputMethodEnabled, false);
            installKeyPress(target, [this, press = described.keyPress](std::int16_t& keyAscii) {
                press(form_, keyAscii);
            });
        }
    }
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        if (watched == tabs()->widget(0)->parentWidget()) {
            placePageControls();
        }
        break;
    case QEvent::KeyPress:
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this &&
            formKeyDown(static_cast<QKeyEvent*>(event))) {
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool FormWindow::formKeyDown(QKeyEvent* event) {
    // Tab is the only key the form acts on; Shift+Tab arrives as Backtab.
    if (event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab) {
        return false;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const auto shift = static_cast<std::int16_t>(
        (modifiers & Qt::ShiftModifier || event->key() == Qt::Key_Backtab ? shiftMask : 0) |
        (modifiers & Qt::ControlModifier ? ctrlMask : 0) |
        (modifiers & Qt::AltModifier ? altMask : 0));
    std::int16_t keyCode = keyTab;
    form_.Form_KeyDown(keyCode, shift);
    return keyCode == 0;
}

void FormWindow::placePageControls() {
    for (const ControlDescription& described : windowDescription()) {
        if (described.container != Container::TabObjList) {
            continue;
        }
        QWidget* widget = control(described.id);
        const QPoint inPage = QPoint(pixels(described.left), pixels(described.top)) -
                              widget->parentWidget()->mapTo(tabs(), QPoint());
        widget->move(std::max(0, inPage.x()), std::max(0, inPage.y()));
    }
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
    return control<QListWidget>(controlOf(list));
}

QCheckBox* FormWindow::box(CheckBox box) const {
    return control<QCheckBox>(controlOf(box));
}

QLineEdit* FormWindow::field(TextBox box) const {
    return control<QLineEdit>(controlOf(box));
}

QRadioButton* FormWindow::option(int index) const {
    return control<QRadioButton>(optionControl(index));
}

QComboBox* FormWindow::layers() const {
    return control<QComboBox>(ControlId::cboLabelLayer);
}

QComboBox* FormWindow::rotation() const {
    return control<QComboBox>(ControlId::cboLabelRotation);
}

QTabWidget* FormWindow::tabs() const {
    return control<QTabWidget>(ControlId::tabObjList);
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
    layers()->clear();
}

void FormWindow::layerAppend(const std::u16string& text) {
    layers()->addItem(toQt(text));
}

int FormWindow::layerCount() const {
    return layers()->count();
}

int FormWindow::layerIndex() const {
    return layers()->currentIndex();
}

void FormWindow::setLayerIndex(int index) {
    layers()->setCurrentIndex(index);
}

std::u16string FormWindow::rotationText() const {
    return rotation()->currentText().toStdU16String();
}

void FormWindow::setRotationIndex(int index) {
    rotation()->setCurrentIndex(index);
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
        if (option(index)->isChecked()) {
            option(index)->setFocus(Qt::OtherFocusReason);
        }
    }
}

int FormWindow::currentPage() const {
    return tabs()->currentIndex();
}

void FormWindow::setCurrentPage(int page) {
    tabs()->setCurrentIndex(page);
}

void FormWindow::setPageAvailable(int page, bool available) {
    tabs()->setTabEnabled(page, available);
}

bool FormWindow::pageAvailable(int page) const {
    return tabs()->isTabEnabled(page);
}

void FormWindow::showMessage(const std::u16string& text, const std::u16string& title) {
    messages_->show(toQt(text), toQt(title));
}

void FormWindow::setBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(progress_ ? Qt::BusyCursor : Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void FormWindow::endProgram() {
    endProgram_();
}

void FormWindow::blockInput(bool blocked) {
    if (blocked) {
        inputBlocker_ = std::make_unique<InputBlocker>(this);
    } else {
        inputBlocker_.reset();
    }
}

void FormWindow::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void FormWindow::showProgress(bool cancellable) {
    progress_ = std::make_unique<ProgressWindow>(isVisible() ? this : nullptr, font(), cancellable,
                                                 [this] { form_.cmdCancelRun_Click(); });
    progress_->show();
    // The arrow beside the hourglass: the cancel button still takes a click.
    if (QApplication::overrideCursor() != nullptr) {
        QApplication::changeOverrideCursor(Qt::BusyCursor);
    }
}

void FormWindow::setProgress(const std::u16string& text, int value, int maximum) {
    if (progress_) {
        progress_->setProgress(toQt(text), value, maximum);
    }
}

void FormWindow::closeProgress() {
    progress_.reset();
    if (QApplication::overrideCursor() != nullptr) {
        QApplication::changeOverrideCursor(Qt::WaitCursor);
    }
}

void FormWindow::showEvent(QShowEvent* event) {
    // Sent before the window is mapped, which is when the taskbar hint has to be in place.
    keepOffTaskbar(this);
    QWidget::showEvent(event);
}

void FormWindow::closeEvent(QCloseEvent* event) {
    // While a run works the window stays; the form closes it once the run has ended.
    event->setAccepted(!form_.running());
    form_.Form_Close();
}

bool FormWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    // Once the progress window is up, Qt would drop the window manager's close unheard.
    if (form_.running() && isWindowManagerClose(this, eventType, message)) {
        form_.Form_Close();
        return true;
    }
    return QWidget::nativeEvent(eventType, message, result);
}

} // namespace tagwright::window::qt
