#include "indicators/outline_window.h"

#include <QPainter>
#include <QScreen>

#include "indicators/indicator_geometry.h"
#include "platform/system_colors.h"

namespace vantorel {

OutlineView::OutlineView() : IndicatorPanel(false) {}

void OutlineView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(QPen(QColor::fromRgba(kRecordingRed), kOutlineStroke, Qt::SolidLine,
                        Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outlineStrokeRect(size()));
}

void OutlineView::resizeEvent(QResizeEvent*) {
    // Only the ring itself, so that without a compositor the region stays uncovered.
    const QRect outer = rect();
    const int band = static_cast<int>(kOutlineStroke);
    setVisibleShape(QRegion(outer).subtracted(QRegion(outer.adjusted(band, band, -band, -band))));
}

OutlineWindow::OutlineWindow(QScreen* screen, const QRectF& rect)
    : panel_(std::make_unique<OutlineView>()) {
    const QRectF screenGeometry = screen ? QRectF(screen->geometry()) : QRectF();
    panel_->setGeometry(outlineFrame(screenGeometry, rect).toAlignedRect());
}

OutlineWindow::~OutlineWindow() {
    close();
}

void OutlineWindow::showOnTop() {
    if (panel_) {
        panel_->showOnTop();
    }
}

void OutlineWindow::close() {
    if (panel_) {
        panel_->takeDown();
        panel_.reset();
    }
}

}  // namespace vantorel
