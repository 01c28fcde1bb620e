#include "standin/BoardView.h"

#include "host/Text.h"
#include "maintenance/RemoveLabels.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>

namespace tagwright::standin {

using host::memory::DesignChange;
using host::memory::TextData;

namespace {

const QColor background(0x10, 0x14, 0x18);
const QColor outline(0x5a, 0x64, 0x70);
const QColor componentName(0x9a, 0xa4, 0xb0);
const QColor pad(0xc8, 0xa0, 0x40);
const QColor viaRing(0x40, 0xb0, 0xc0);

// Below these sizes on screen a shape is a dot and a text a stroke: a whole large board
// then draws in a few milliseconds, and nothing smaller could be read anyway.
constexpr double smallestPadPx = 2;
constexpr double smallestGlyphPx = 4;
// A component's name is shown once its outline is this wide or high on screen.
constexpr double smallestNamedPartPx = 36;
constexpr int namePx = 10;
// Fitting leaves this share of the window as a margin.
constexpr double fitFill = 0.92;
// A selection of one pin is shown this many pads wide.
constexpr double smallestShownPads = 8;
// Qt turns pixel coordinates into ints in places, and a glyph or ring far larger than any
// window shows nothing one could read: beyond these, shapes are cut at the window's edge and
// texts and rings are left out.
constexpr double offWindowPx = 16;
constexpr double largestGlyphPx = 32767;
constexpr double largestRingPx = 32767;

// The rectangle between two screen points, cut to the window and a margin around it.
QRectF cutToWindow(QPointF a, QPointF b, QSize window) {
    const auto cut = [](double v, int size) {
        return !(v > -offWindowPx) ? -offWindowPx : std::min(v, size + offWindowPx);
    };
    return QRectF(QPointF(cut(a.x(), window.width()), cut(a.y(), window.height())),
                  QPointF(cut(b.x(), window.width()), cut(b.y(), window.height())));
}

bool finite(QPointF p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

QString toQString(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

const QColor BoardView::selectionColour(0xff, 0xf0, 0x50);

QColor BoardView::layerColour(std::int32_t layer) {
    static const std::array<QColor, 8> colours = {
        QColor(0xe0, 0x50, 0x50), QColor(0x50, 0x80, 0xff), QColor(0xe8, 0xe8, 0xe8),
        QColor(0xc0, 0x90, 0xff), QColor(0x50, 0xd0, 0x70), QColor(0xff, 0x9f, 0x40),
        QColor(0x40, 0xd0, 0xd0), QColor(0xff, 0x70, 0xd0)};
    const auto n = static_cast<std::size_t>(std::max(layer, 1) - 1);
    return colours[n % colours.size()];
}

BoardView::BoardView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    repaintTimer_.setSingleShot(true);
    connect(&repaintTimer_, &QTimer::timeout, this, [this] {
        sinceRepaint_.restart();
        if (wholeChanged_) {
            update();
        } else {
            update(newTextArea_);
        }
        wholeChanged_ = false;
        newTextArea_ = QRegion();
        emit repainted();
    });
}

void BoardView::setScene(std::shared_ptr<BoardScene> scene) {
    scene_ = std::move(scene);
    newTexts_.clear();
    fit();
}

void BoardView::designChanged(const DesignChange& change) {
    if (!scene_) {
        return;
    }
    switch (change.kind) {
    case DesignChange::Kind::TextAdded:
        scene_->textAdded(change.text);
        if (pictureValid_) {
            newTexts_.push_back(change.text);
            const Box box = BoardScene::textBox(*change.text);
            // A frame and antialiasing reach a little past the text itself.
            QRect shown;
            if (!box.empty()) {
                shown = cutToWindow(toScreen(box.left, box.top), toScreen(box.right, box.bottom),
                                    size())
                            .toAlignedRect()
                            .adjusted(-3, -3, 3, 3) &
                        rect();
            }
            if (!shown.isEmpty()) {
                newTextArea_ += shown;
                // A region of many pieces costs more to paint than the box around them.
                if (newTextArea_.rectCount() > 32) {
                    newTextArea_ = newTextArea_.boundingRect();
                }
            }
        } else {
            wholeChanged_ = true;
        }
        break;
    case DesignChange::Kind::TextDeleted:
        scene_->textDeleted(*change.text);
        pictureValid_ = false;
        wholeChanged_ = true;
        break;
    case DesignChange::Kind::SelectionChanged:
        pictureValid_ = false;
        wholeChanged_ = true;
        break;
    case DesignChange::Kind::SelectionShown: {
        const Box selection = scene_->selectionBounds();
        if (!selection.empty()) {
            zoomTo(selection);
        }
        wholeChanged_ = true;
        break;
    }
    }
    requestRepaint();
}

void BoardView::requestRepaint() {
    if (repaintTimer_.isActive()) {
        return;
    }
    const qint64 waited = sinceRepaint_.isValid() ? sinceRepaint_.elapsed() : minRepaintGapMs;
    repaintTimer_.start(static_cast<int>(std::max<qint64>(0, minRepaintGapMs - waited)));
}

void BoardView::viewChanged() {
    pictureValid_ = false;
    shift_ = {};
    newTexts_.clear();
    update();
}

void BoardView::fit() {
    if (scene_) {
        zoomTo(scene_->bounds());
        fitted_ = true;
    }
}

void BoardView::zoomTo(const Box& area) {
    if (area.empty()) {
        return;
    }
    const double least = scene_ ? smallestShownPads * scene_->padSize() : 1;
    const double w = std::max(area.width(), least), h = std::max(area.height(), least);
    scale_ = std::clamp(fitFill * std::min(std::max(1, width()) / w, std::max(1, height()) / h),
                        1e-9, 1e9);
    // Halved first: the sum of two edges near the end of a double's range is not finite.
    centreX_ = area.left / 2 + area.right / 2;
    centreY_ = area.bottom / 2 + area.top / 2;
    fitted_ = false;
    viewChanged();
}

void BoardView::zoomAt(QPointF pixel, double factor) {
    // The point under the pointer stays where it is.
    const QPointF fixed = toDesign(pixel);
    scale_ = std::clamp(scale_ * factor, 1e-9, 1e9);
    centreX_ = fixed.x() - (pixel.x() - width() / 2.0) / scale_;
    centreY_ = fixed.y() + (pixel.y() - height() / 2.0) / scale_;
    fitted_ = false;
    viewChanged();
}

void BoardView::panBy(QPointF pixels) {
    // Whole pixels only, so that the kept picture moves exactly as the board does.
    const QPoint by = pixels.toPoint();
    centreX_ -= by.x() / scale_;
    centreY_ += by.y() / scale_;
    fitted_ = false;
    if (pictureValid_ && newTexts_.empty()) {
        shift_ += by;
        update();
    } else {
        viewChanged();
    }
}

QPointF BoardView::toScreen(double x, double y) const {
    return {width() / 2.0 + (x - centreX_) * scale_, height() / 2.0 - (y - centreY_) * scale_};
}

QPointF BoardView::toDesign(QPointF pixel) const {
    return {centreX_ + (pixel.x() - width() / 2.0) / scale_,
            centreY_ - (pixel.y() - height() / 2.0) / scale_};
}

Box BoardView::visibleArea() const {
    const QPointF topLeft = toDesign({0, 0}), bottomRight = toDesign(QPointF(width(), height()));
    return {topLeft.x(), bottomRight.y(), bottomRight.x(), topLeft.y()};
}

void BoardView::paintEvent(QPaintEvent* event) {
    ++paints_;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (picture_.size() != pixels) {
        picture_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        picture_.setDevicePixelRatio(ratio);
        pictureValid_ = false;
    }
    if (pictureValid_ && !shift_.isNull()) {
        drawShifted();
    }
    if (!pictureValid_) {
        QPainter painter(&picture_);
        // What reaches into the window from just outside it is drawn too.
        drawBoard(painter, visibleArea().grown(scene_ ? scene_->padSize() : 0));
        pictureValid_ = true;
        newTexts_.clear();
    } else if (!newTexts_.empty()) {
        std::vector<const TextData*> texts;
        const Box area = visibleArea();
        for (const auto& text : newTexts_) {
            if (!text->deleted && area.intersects(BoardScene::textBox(*text))) {
                texts.push_back(text.get());
            }
        }
        newTexts_.clear();
        QPainter painter(&picture_);
        painter.setRenderHint(QPainter::Antialiasing);
        drawTexts(painter, texts);
    }
    QPainter painter(this);
    for (const QRect& area : event->region()) {
        painter.drawImage(area, picture_,
                          QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
    }
}

void BoardView::drawShifted() {
    const QPoint by = shift_;
    shift_ = {};
    if (std::abs(by.x()) >= width() || std::abs(by.y()) >= height()) {
        pictureValid_ = false;
        return;
    }
    QImage moved(picture_.size(), picture_.format());
    moved.setDevicePixelRatio(picture_.devicePixelRatio());
    QPainter painter(&moved);
    painter.drawImage(by, picture_);
    // The strips the move uncovered: a column at one side, a row at the top or bottom.
    QRect strips[2] = {
        by.x() > 0 ? QRect(0, 0, by.x(), height()) : QRect(width() + by.x(), 0, -by.x(), height()),
        by.y() > 0 ? QRect(0, 0, width(), by.y()) : QRect(0, height() + by.y(), width(), -by.y())};
    for (const QRect& strip : strips) {
        if (strip.isEmpty()) {
            continue;
        }
        painter.save();
        painter.setClipRect(strip);
        const QPointF a = toDesign(strip.topLeft()),
                      b = toDesign(strip.bottomRight() + QPoint(1, 1));
        drawBoard(painter, Box{a.x(), b.y(), b.x(), a.y()}.grown(scene_ ? scene_->padSize() : 0));
        painter.restore();
    }
    painter.end();
    picture_ = std::move(moved);
}

void BoardView::drawBoard(QPainter& painter, const Box& area) {
    painter.fillRect(rect(), background);
    if (!scene_) {
        return;
    }
    const double padPx = scene_->padSize() * scale_;
    scene_->query(area, drawn_);
    const auto& d = scene_->design();

    painter.setRenderHint(QPainter::Antialiasing, padPx >= smallestPadPx);
    painter.setBrush(Qt::NoBrush);
    QFont nameFont = font();
    nameFont.setPixelSize(namePx);
    painter.setFont(nameFont);
    std::vector<QRectF> outlines[2];
    for (std::uint32_t i : drawn_.components) {
        const auto& component = scene_->components()[i];
        const int selected =
            d.components[static_cast<std::size_t>(component.index)].selected ? 1 : 0;
        const QRectF box = cutToWindow(toScreen(component.box.left, component.box.top),
                                       toScreen(component.box.right, component.box.bottom), size());
        outlines[selected].push_back(box);
        if (std::max(box.width(), box.height()) >= smallestNamedPartPx) {
            painter.setPen(selected ? selectionColour : componentName);
            painter.drawText(
                box.topLeft() + QPointF(0, -2),
                toQString(d.components[static_cast<std::size_t>(component.index)].name));
        }
    }
    for (int selected : {0, 1}) {
        painter.setPen(QPen(selected ? selectionColour : outline, selected ? 2 : 1));
        painter.drawRects(outlines[selected].data(), static_cast<int>(outlines[selected].size()));
    }

    // Pads and rings in two batches each: ordinary and selected.
    std::vector<QRectF> pads[2];
    std::vector<QPointF> dots[2];
    const double half = scene_->padSize() * scale_ / 2;
    for (std::uint32_t i : drawn_.pins) {
        const auto& pin = scene_->pins()[i];
        const QPointF at = toScreen(pin.x, pin.y);
        const int selected = scene_->isSelected(pin) ? 1 : 0;
        if (padPx >= smallestPadPx) {
            pads[selected].push_back(
                cutToWindow(at - QPointF(half, half), at + QPointF(half, half), size()));
        } else {
            dots[selected].push_back(at);
        }
    }
    painter.setPen(Qt::NoPen);
    for (int selected : {0, 1}) {
        painter.setBrush(selected ? selectionColour : pad);
        painter.drawRects(pads[selected].data(), static_cast<int>(pads[selected].size()));
    }
    for (int selected : {0, 1}) {
        painter.setPen(selected ? selectionColour : pad);
        painter.drawPoints(dots[selected].data(), static_cast<int>(dots[selected].size()));
    }

    const double ring = 0.6 * padPx;
    painter.setBrush(Qt::NoBrush);
    for (int selected : {0, 1}) {
        painter.setPen(QPen(selected ? selectionColour : viaRing, std::max(1.0, ring / 3)));
        std::vector<QPointF> viaDots;
        for (std::uint32_t v : drawn_.vias) {
            if (scene_->isViaSelected(v) != static_cast<bool>(selected)) {
                continue;
            }
            const QPointF at = toScreen(d.vias[v].x, d.vias[v].y);
            if (!finite(at)) {
                continue;
            }
            if (padPx >= smallestPadPx) {
                if (ring <= largestRingPx) {
                    painter.drawEllipse(at, ring, ring);
                }
            } else {
                viaDots.push_back(at);
            }
        }
        painter.drawPoints(viaDots.data(), static_cast<int>(viaDots.size()));
    }

    std::vector<const TextData*> texts;
    texts.reserve(drawn_.texts.size());
    for (std::uint32_t i : drawn_.texts) {
        texts.push_back(scene_->texts()[i].get());
    }
    painter.setRenderHint(QPainter::Antialiasing);
    drawTexts(painter, texts);
}

void BoardView::drawTexts(QPainter& painter, const std::vector<const TextData*>& texts) {
    QFont face = font();
    int facePx = 0;
    bool faceBold = false;
    painter.setBrush(Qt::NoBrush);
    // Texts too small to read are strokes as long as the text, thicker for labels; drawn in
    // one batch per layer, since a zoomed-out board holds tens of thousands of them.
    std::map<std::pair<std::int32_t, bool>, std::vector<QLineF>> strokes;
    for (const TextData* text : texts) {
        const bool label = maintenance::isMarkedLabel(text->text);
        const double heightPx = std::abs(text->height) * scale_;
        const QPointF at = toScreen(text->x, text->y);
        if (!finite(at) || !(heightPx <= largestGlyphPx)) {
            continue;
        }
        const double turn = BoardScene::turnOf(*text);
        // The design turns counter-clockwise with y up; the screen's y points down.
        if (heightPx < smallestGlyphPx) {
            const double length =
                std::max(1.0, 0.7 * heightPx * static_cast<double>(text->text.size()));
            const double angle = turn * std::numbers::pi / 180;
            strokes[{text->layer, label}].emplace_back(
                at, at + QPointF(length * std::cos(angle), -length * std::sin(angle)));
            continue;
        }
        const QColor colour = layerColour(text->layer);
        painter.save();
        painter.translate(at);
        painter.rotate(-turn);
        const int px = std::max(1, static_cast<int>(std::lround(heightPx)));
        if (px != facePx || label != faceBold) {
            face.setPixelSize(px);
            face.setBold(label);
            facePx = px;
            faceBold = label;
        }
        painter.setFont(face);
        painter.setPen(colour);
        const QString shown = toQString(text->text);
        painter.drawText(QPointF(0, 0), shown);
        if (label) {
            // Labels are framed: a user sees at once which texts are the program's.
            QRectF frame = painter.fontMetrics().boundingRect(shown);
            painter.setPen(QPen(colour, 1, Qt::DotLine));
            painter.drawRect(frame.adjusted(-1, -1, 1, 1));
        }
        painter.restore();
    }
    for (const auto& [kind, lines] : strokes) {
        painter.setPen(QPen(layerColour(kind.first), kind.second ? 2 : 1));
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
}

void BoardView::resizeEvent(QResizeEvent* event) {
    if (event->size() == event->oldSize()) {
        return;
    }
    if (fitted_) {
        fit();
    }
    pictureValid_ = false;
    newTexts_.clear();
}

void BoardView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
}

void BoardView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = toDesign(event->position());
    emit pointerMoved(at.x(), at.y());
    if (dragging_) {
        panBy(event->position() - dragFrom_);
        dragFrom_ = event->position();
    }
}

void BoardView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        unsetCursor();
    }
}

void BoardView::wheelEvent(QWheelEvent* event) {
    // One notch of an ordinary wheel (120) zooms by about a fifth.
    zoomAt(event->position(), std::pow(1.2, event->angleDelta().y() / 120.0));
    event->accept();
}

} // namespace tagwright::standin
