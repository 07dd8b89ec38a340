#include "indicators/countdown_window.h"

#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "indicators/indicator_geometry.h"
#include "selection/rounded_font.h"

namespace vantorel {

CountdownView::CountdownView() : IndicatorPanel(false) {}

void CountdownView::setNumber(int number) {
    number_ = number;
    update();
}

QRectF CountdownView::circle() const {
    const double diameter = countdownDiameter(size());
    const QPointF centre = QRectF(rect()).center();
    return QRectF(centre.x() - diameter / 2, centre.y() - diameter / 2, diameter, diameter);
}

QFont CountdownView::numberFont() const {
    return withPixelSize(roundedFont(1, QFont::Bold), countdownFontSize(circle().width()), *this);
}

void CountdownView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, composited() ? 153 : 255));  // black at 0.6 where it can blend
    const QRectF disc = circle();
    painter.drawEllipse(disc);
    painter.setFont(numberFont());
    painter.setPen(Qt::white);
    painter.drawText(QRectF(rect()), Qt::AlignCenter, QString::number(number_));
}

void CountdownView::resizeEvent(QResizeEvent*) {
    QPainterPath path;
    path.addEllipse(circle());
    setVisibleShape(QRegion(path.toFillPolygon().toPolygon()));
}

CountdownWindow::CountdownWindow(const Selection& selection)
    : view_(std::make_unique<CountdownView>()) {
    const QRectF screenGeometry =
        selection.screen ? QRectF(selection.screen->geometry()) : QRectF();
    view_->setGeometry(globalFrame(screenGeometry, selection.rect).toAlignedRect());
}

CountdownWindow::~CountdownWindow() {
    close();
}

void CountdownWindow::show(int number) {
    if (view_) {
        view_->showOnTop();
        view_->setNumber(number);
    }
}

void CountdownWindow::setNumber(int number) {
    if (view_) {
        view_->setNumber(number);
    }
}

void CountdownWindow::close() {
    if (view_) {
        view_->takeDown();
        view_.reset();
    }
}

}  // namespace vantorel
