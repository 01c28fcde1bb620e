#include "window/frmTagwright.h"

#include "host/Failure.h"
#include "labels/AddLabels.h"
#include "maintenance/Locate.h"
#include "maintenance/RemoveLabels.h"
#include "ui_frmTagwright.h"
#include "window/EntryFilter.h"
#include "window/TaskbarHint.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScopeGuard>
#include <QCoreApplication>
#include <QLineEdit>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

// The icon lives in this static library's resources, which the linker would otherwise drop.
static void initWindowResources() {
    Q_INIT_RESOURCE(tagwright);
}

namespace tagwright::window {

namespace {

// "SimSun" where it is installed; otherwise the simplified Chinese faces, named explicitly so
// that fontconfig does not pick a Japanese face under a C or English locale.
const QStringList chineseFamilies = {
    QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Sans CJK SC"),
    QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("AR PL UMing CN")};

const QString attachFailureText = QStringLiteral("请先打开一个PCB设计文件!");
const QString attachFailureTitle = QStringLiteral("提示");
const QString applicationTitle = QString::fromStdU16String(labels::applicationTitle);
const QString contactAddress = QStringLiteral("support@tagwright.invalid");

// What an empty list answers when its first entry is picked.
constexpr std::int32_t invalidPropertyValue = 380;
// Anything thrown that is not a host failure.
constexpr std::int32_t internalError = 51;
constexpr std::int32_t outOfMemory = 7;

QString fromHost(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

std::vector<labels::ListEntry> entriesOf(const QListWidget* list) {
    std::vector<labels::ListEntry> entries;
    entries.reserve(static_cast<std::size_t>(list->count()));
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        entries.push_back({item->text().toStdU16String(), item->isSelected()});
    }
    return entries;
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

void keepNumberKey(std::int16_t& keyAscii) {
    if (!isSizeOrOffsetKey(keyAscii))
        keyAscii = 0;
}

} // namespace

frmTagwright::frmTagwright(host::AttachFunction attach, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::frmTagwright>()), attach_(std::move(attach)),
      messages_(std::make_unique<MessageBoxes>(this)), endProgram_([this] {
          hide();
          QCoreApplication::exit(0);
      }) {
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

frmTagwright::~frmTagwright() = default;

void frmTagwright::applyFonts() {
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

void frmTagwright::connectHandlers() {
    const auto onClick = [this](QPushButton* button, void (frmTagwright::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    onClick(ui_->cmdAddLabel, &frmTagwright::cmdAddLabel_Click);
    onClick(ui_->cmdDeleteLabel, &frmTagwright::cmdDeleteLabel_Click);
    onClick(ui_->cmdUpdateList, &frmTagwright::cmdUpdateList_Click);
    onClick(ui_->cmdHelp, &frmTagwright::cmdHelp_Click);
    onClick(ui_->cmdClose, &frmTagwright::cmdClose_Click);
    onClick(ui_->cmdLocateComp, &frmTagwright::cmdLocateComp_Click);
    onClick(ui_->cmdLocateNet, &frmTagwright::cmdLocateNet_Click);

    const QRadioButton* options[] = {ui_->optLabelType_0, ui_->optLabelType_1, ui_->optLabelType_2};
    for (std::int16_t index = 0; index < 3; ++index) {
        connect(options[index], &QRadioButton::clicked, this,
                [this, index] { optLabelType_Click(index); });
    }

    const auto onKeyPress = [this](QWidget* field, void (frmTagwright::*handler)(std::int16_t&)) {
        // Numbers only: an input method would only compose characters that get dropped.
        field->setAttribute(Qt::WA_InputMethodEnabled, false);
        installKeyPress(field,
                        [this, handler](std::int16_t& keyAscii) { (this->*handler)(keyAscii); });
    };
    onKeyPress(ui_->txtLabelFontH, &frmTagwright::txtLabelFontH_KeyPress);
    onKeyPress(ui_->txtLabelFontW, &frmTagwright::txtLabelFontW_KeyPress);
    onKeyPress(ui_->txtLabelOffsetX, &frmTagwright::txtLabelOffsetX_KeyPress);
    onKeyPress(ui_->txtLabelOffsetY, &frmTagwright::txtLabelOffsetY_KeyPress);
    // Keys reach the combo box or, when it has the focus itself, its edit field.
    onKeyPress(ui_->cboLabelRotation, &frmTagwright::cboLabelRotation_KeyPress);
    onKeyPress(ui_->cboLabelRotation->lineEdit(), &frmTagwright::cboLabelRotation_KeyPress);
}

bool frmTagwright::Form_Load() {
    try {
        attachAndFill();
    } catch (...) {
        failAttach();
        return false;
    }
    chooseLabelType(labels::NetNameLabel);
    ui_->chkUnUsedPins->setEnabled(false);
    ui_->cboLabelRotation->setCurrentIndex(0);
    chooseLabelType(labels::PinNumberLabel);
    ui_->tabObjList->setCurrentIndex(0);
    return true;
}

void frmTagwright::cmdUpdateList_Click() {
    ui_->lstCompList->clear();
    ui_->lstNetList->clear();
    ui_->lstNetClassList->clear();
    ui_->cboLabelLayer->clear();
    try {
        attachAndFill();
    } catch (...) {
        failAttach();
    }
}

void frmTagwright::attachAndFill() {
    hostApplication_ = {};
    hostApplication_ = attach_();
    hostDocument_ = {};
    hostDocument_ = hostApplication_.activeDocument();

    const auto fill = [](QListWidget* list, const host::HostCollection& members, auto role) {
        members.forEach([&](const host::ObjectRef& member) {
            list->addItem(fromHost(decltype(role)(member).name()));
        });
    };
    fill(ui_->lstCompList, hostDocument_.components(), host::HostComponent{});
    fill(ui_->lstNetList, hostDocument_.nets(), host::HostNet{});
    fill(ui_->lstNetClassList, hostDocument_.netClasses(), host::HostNetClass{});

    const std::int32_t layers = hostDocument_.layerCount();
    for (std::int32_t layer = 1; layer <= layers; ++layer)
        ui_->cboLabelLayer->addItem(fromHost(hostDocument_.layerName(layer)));
    if (ui_->cboLabelLayer->count() == 0)
        throw host::Failure(invalidPropertyValue, u"无效的属性值");
    ui_->cboLabelLayer->setCurrentIndex(0);
}

void frmTagwright::failAttach() {
    showMessage(attachFailureText, attachFailureTitle);
    endProgram_();
}

void frmTagwright::chooseLabelType(std::int16_t index) {
    QRadioButton* options[] = {ui_->optLabelType_0, ui_->optLabelType_1, ui_->optLabelType_2};
    options[index]->setChecked(true);
    optLabelType_Click(index);
}

void frmTagwright::optLabelType_Click(std::int16_t index) {
    QTabWidget* tabs = ui_->tabObjList;
    // The page in front first, even while it is still unavailable: a tab control that
    // disables its current page moves to another, so the order of these steps matters.
    constexpr int pageOfType[] = {1, 0, 2};
    if (index >= 0 && index <= 2 && tabs->currentIndex() != pageOfType[index])
        tabs->setCurrentIndex(pageOfType[index]);
    switch (index) {
    case labels::NetNameLabel:
        ui_->chkUnUsedPins->setEnabled(false);
        tabs->setTabEnabled(1, true);
        tabs->setTabEnabled(2, true);
        ui_->chkVias->setEnabled(true);
        break;
    case labels::PinNumberLabel:
        tabs->setTabEnabled(1, false);
        tabs->setTabEnabled(2, false);
        ui_->chkUnUsedPins->setEnabled(true);
        ui_->chkVias->setEnabled(false);
        break;
    case labels::NetClassLabel:
        tabs->setTabEnabled(1, false);
        tabs->setTabEnabled(2, true);
        ui_->chkUnUsedPins->setEnabled(false);
        ui_->chkVias->setEnabled(true);
        break;
    default:
        break;
    }
    labelTypeIndex_ = index;
}

void frmTagwright::cmdAddLabel_Click() {
    guarded([this] {
        labels::addLabels(hostDocument_, snapshot(), componentMask_, messageCallback());
    });
}

void frmTagwright::cmdDeleteLabel_Click() {
    guarded([this] {
        const QRadioButton* options[] = {ui_->optLabelType_0, ui_->optLabelType_1,
                                         ui_->optLabelType_2};
        if (labelTypeIndex_ < 0 || labelTypeIndex_ > 2)
            throw host::Failure::subscriptOutOfRange();
        maintenance::removeLabels(hostDocument_, options[labelTypeIndex_]->text().toStdU16String(),
                                  messageCallback());
    });
}

void frmTagwright::cmdLocateComp_Click() {
    guarded([this] {
        maintenance::locate(hostDocument_, maintenance::LocateTarget::Components,
                            entriesOf(ui_->lstCompList), messageCallback());
    });
}

void frmTagwright::cmdLocateNet_Click() {
    guarded([this] {
        maintenance::locate(hostDocument_, maintenance::LocateTarget::Nets,
                            entriesOf(ui_->lstNetList), messageCallback());
    });
}

void frmTagwright::cmdHelp_Click() {
    showMessage(QStringLiteral("版本：1.0       ") + QStringLiteral("\r\n\r\n") +
                    QStringLiteral("运行错误或改进建议请联系：  ") + QStringLiteral("\r\n\r\n") +
                    contactAddress,
                applicationTitle);
}

void frmTagwright::cmdClose_Click() {
    endProgram_();
}

void frmTagwright::txtLabelFontH_KeyPress(std::int16_t& keyAscii) {
    keepNumberKey(keyAscii);
}

void frmTagwright::txtLabelFontW_KeyPress(std::int16_t& keyAscii) {
    keepNumberKey(keyAscii);
}

void frmTagwright::txtLabelOffsetX_KeyPress(std::int16_t& keyAscii) {
    keepNumberKey(keyAscii);
}

void frmTagwright::txtLabelOffsetY_KeyPress(std::int16_t& keyAscii) {
    keepNumberKey(keyAscii);
}

void frmTagwright::cboLabelRotation_KeyPress(std::int16_t& keyAscii) {
    if (!isRotationKey(keyAscii))
        keyAscii = 0;
}

void frmTagwright::showEvent(QShowEvent* event) {
    // Sent before the window is mapped, which is when the taskbar hint has to be in place.
    keepOffTaskbar(this);
    QWidget::showEvent(event);
}

void frmTagwright::closeEvent(QCloseEvent* event) {
    event->accept();
    endProgram_();
}

void frmTagwright::guarded(const std::function<void()>& body) {
    // A run over a large board can take a while and must not yield to the event loop; the
    // busy cursor is the one sign of progress that needs none.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    try {
        body();
    } catch (const host::Failure& failure) {
        reportFailure(failure.number(), fromHost(failure.description()));
    } catch (const std::bad_alloc&) {
        reportFailure(outOfMemory, QStringLiteral("内存溢出"));
    } catch (const std::exception& other) {
        reportFailure(internalError,
                      QStringLiteral("内部错误: ") + QString::fromUtf8(other.what()));
    } catch (...) {
        reportFailure(internalError, QStringLiteral("内部错误"));
    }
}

void frmTagwright::reportFailure(std::int32_t number, const QString& description) {
    showMessage(QStringLiteral("运行时错误 '%1':\n%2").arg(number).arg(description),
                applicationTitle);
}

void frmTagwright::showMessage(const QString& text, const QString& title) {
    // The user is asked to read and click: the ordinary cursor while the box is up.
    int busy = 0;
    for (; QApplication::overrideCursor() != nullptr; ++busy)
        QApplication::restoreOverrideCursor();
    messages_->show(text, title);
    for (; busy > 0; --busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

labels::ShowMessage frmTagwright::messageCallback() {
    return [this](const std::u16string& text, const std::u16string& title) {
        // The logic's messages without a title of their own bear the application's.
        showMessage(fromHost(text), title.empty() ? applicationTitle : fromHost(title));
    };
}

labels::WindowSnapshot frmTagwright::snapshot() const {
    labels::WindowSnapshot window;
    window.labelType = labelTypeIndex_;
    window.offsetX = ui_->txtLabelOffsetX->text().toStdU16String();
    window.offsetY = ui_->txtLabelOffsetY->text().toStdU16String();
    window.fontHeight = ui_->txtLabelFontH->text().toStdU16String();
    window.fontWidth = ui_->txtLabelFontW->text().toStdU16String();
    window.rotation = ui_->cboLabelRotation->currentText().toStdU16String();
    window.selectedComponents = ui_->chkSelectedComp->isChecked();
    window.selectedNets = ui_->chkSelectedNets->isChecked();
    window.selectedNetClasses = ui_->chkSelectedNetClasses->isChecked();
    window.unusedPins = ui_->chkUnUsedPins->isChecked();
    window.vias = ui_->chkVias->isChecked();
    window.components = entriesOf(ui_->lstCompList);
    window.nets = entriesOf(ui_->lstNetList);
    window.netClasses = entriesOf(ui_->lstNetClassList);
    window.layerIndex = ui_->cboLabelLayer->currentIndex();
    return window;
}

} // namespace tagwright::window
