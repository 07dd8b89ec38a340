#include "selection/action_button.h"

#include "selection/rounded_font.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vantorel {

namespace {

constexpr double kRecordGlyph = 14.0;
constexpr double kRecordGap = 6.0;

QFont recordFont() {
    return systemFont(16, QFont::Bold);
}

QFont cancelFont() {
    return systemFont(13, QFont::Medium);
}

QString recordText() {
    return QCoreApplication::translate("ControlBar", "Record");
}

QString cancelText() {
    return QCoreApplication::translate("ControlBar", "Cancel");
}

QColor faintWhite() {
    return QColor::fromRgbF(1.0, 1.0, 1.0, 0.12);
}

// Two arrows, one over the other, pointing left and right.
void drawSwapArrows(QPainter& painter, const QPointF& centre) {
    QPen pen(Qt::white, 1.8);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double half = 6.0;
    const double head = 3.0;
    const double upper = centre.y() - 3.0;
    const double lower = centre.y() + 3.0;
    QPainterPath arrows;
    arrows.moveTo(centre.x() + half, upper);
    arrows.lineTo(centre.x() - half, upper);
    arrows.moveTo(centre.x() - half + head, upper - head);
    arrows.lineTo(centre.x() - half, upper);
    arrows.lineTo(centre.x() - half + head, upper + head);
    arrows.moveTo(centre.x() - half, lower);
    arrows.lineTo(centre.x() + half, lower);
    arrows.moveTo(centre.x() + half - head, lower - head);
    arrows.lineTo(centre.x() + half, lower);
    arrows.lineTo(centre.x() + half - head, lower + head);
    painter.drawPath(arrows);
}

}  // namespace

ActionButton::ActionButton(Kind kind, QWidget* parent) : QAbstractButton(parent), kind_(kind) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    switch (kind_) {
        case Kind::swap:
            setToolTip(QCoreApplication::translate("ControlBar", "Swap width and height"));
            break;
        case Kind::record:
            setText(recordText());
            setToolTip(QCoreApplication::translate("ControlBar", "Start recording (Return)"));
            break;
        case Kind::cancel:
            setText(cancelText());
            setToolTip(QCoreApplication::translate("ControlBar", "Cancel (Esc)"));
            break;
    }
}

QSize ActionButton::sizeHint() const {
    switch (kind_) {
        case Kind::swap:
            return {30, 36};
        case Kind::record: {
            const double text = QFontMetricsF(recordFont()).horizontalAdvance(recordText());
            return {static_cast<int>(std::ceil(18.0 + kRecordGlyph + kRecordGap + text + 18.0)),
                    38};
        }
        case Kind::cancel: {
            const double text = QFontMetricsF(cancelFont()).horizontalAdvance(cancelText());
            return {static_cast<int>(std::ceil(12.0 + text + 12.0)), 38};
        }
    }
    return {};
}

void ActionButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    switch (kind_) {
        case Kind::swap:
            paintSwap(painter);
            break;
        case Kind::record:
            paintRecord(painter);
            break;
        case Kind::cancel:
            paintCancel(painter);
            break;
    }
}

void ActionButton::paintSwap(QPainter& painter) const {
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), 8.0, 8.0);
    painter.fillPath(background, faintWhite());
    drawSwapArrows(painter, QRectF(rect()).center());
}

void ActionButton::paintRecord(QPainter& painter) const {
    const QRectF area(rect());
    QPainterPath capsule;
    capsule.addRoundedRect(area, area.height() * 0.5, area.height() * 0.5);
    painter.fillPath(capsule, QColor(255, 59, 48));
    const double middle = area.center().y();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(18.0, middle - kRecordGlyph * 0.5, kRecordGlyph, kRecordGlyph));
    painter.setPen(Qt::white);
    painter.setFont(recordFont());
    painter.drawText(QRectF(18.0 + kRecordGlyph + kRecordGap, 0.0, area.width(), area.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, recordText());
}

void ActionButton::paintCancel(QPainter& painter) const {
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), 8.0, 8.0);
    painter.fillPath(background, faintWhite());
    painter.setPen(Qt::white);
    painter.setFont(cancelFont());
    painter.drawText(QRectF(rect()), Qt::AlignCenter, cancelText());
}

}  // namespace vantorel
