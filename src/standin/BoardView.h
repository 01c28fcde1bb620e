#pragma once

#include "standin/BoardScene.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointF>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

namespace tagwright::standin {

// The board as the editor shows it: pads, via rings, component outlines and free texts, y
// pointing up. A client's calls arrive far faster than a screen can show them, so changes
// only ask for a repaint, at most 30 a second; the picture is kept between repaints and
// texts that arrive meanwhile are drawn onto it, so a long labelling run costs the view
// only the new labels.
class BoardView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int minRepaintGapMs = 33;

    explicit BoardView(QWidget* parent = nullptr);

    void setScene(std::shared_ptr<BoardScene> scene);
    const BoardScene* scene() const { return scene_.get(); }
    // Everything the design's host interface changed; the scene follows, the view repaints.
    void designChanged(const host::memory::DesignChange& change);

    void fit();
    void zoomTo(const Box& area);
    void zoomAt(QPointF pixel, double factor);
    void panBy(QPointF pixels);

    QPointF toScreen(double x, double y) const;
    QPointF toDesign(QPointF pixel) const;
    Box visibleArea() const;
    double pixelsPerUnit() const { return scale_; }

    static QColor layerColour(std::int32_t layer);
    static const QColor selectionColour;

    // What the repaints did: how many, and what the last whole picture held.
    std::size_t paintCount() const { return paints_; }
    const BoardScene::InView& lastDrawn() const { return drawn_; }

  signals:
    void pointerMoved(double x, double y);
    // After a repaint that follows changes to the design: counts may have moved.
    void repainted();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void requestRepaint();
    void viewChanged();
    // Draws what lies in `area` of the design; the painter's clip keeps it to its place.
    void drawBoard(QPainter& painter, const Box& area);
    void drawShifted();
    void drawTexts(QPainter& painter, const std::vector<const host::memory::TextData*>& texts);

    std::shared_ptr<BoardScene> scene_;
    double scale_ = 1; // pixels per unit
    double centreX_ = 0, centreY_ = 0;
    QImage picture_;
    bool pictureValid_ = false;
    // A pan since the last repaint, in pixels: the kept picture moves, and only the strips
    // it uncovers are drawn.
    QPoint shift_;
    std::vector<std::shared_ptr<host::memory::TextData>> newTexts_;
    // Where the texts that arrived since the last repaint will show: only that much of the
    // window is painted again, unless something else changed.
    QRegion newTextArea_;
    bool wholeChanged_ = false;
    BoardScene::InView drawn_;
    QTimer repaintTimer_;
    QElapsedTimer sinceRepaint_;
    std::size_t paints_ = 0;
    // Until the user pans or zooms, the whole board stays in view as the window resizes.
    bool fitted_ = false;
    bool dragging_ = false;
    QPointF dragFrom_;
};

} // namespace tagwright::standin
