#include "selection/overlay_painter.h"

#include "selection/handle.h"
#include "selection/rounded_font.h"
#include "selection/selection_math.h"
#include "selection/size_label.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace vantorel {

namespace {

void paintDimming(QPainter& painter, const OverlayScene& scene) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRect(scene.bounds);
    if (scene.selection) {
        path.addRect(*scene.selection);
    }
    painter.fillPath(path, QColor::fromRgbF(0.0, 0.0, 0.0, 0.5));
}

void paintFrame(QPainter& painter, const QRectF& selection) {
    painter.fillRect(selection, QColor::fromRgbF(0.0, 0.0, 0.0, 0.01));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(selectionYellow(), 2.0));
    painter.drawRect(selection);
    QPen dashed(Qt::white, 1.0);
    dashed.setCapStyle(Qt::FlatCap);
    dashed.setDashPattern({5.0, 4.0});
    painter.setPen(dashed);
    painter.drawRect(selection.adjusted(2.5, 2.5, -2.5, -2.5));
}

void paintHandles(QPainter& painter, const QRectF& selection) {
    const QPen outline(selectionYellow(), 1.5);
    for (Handle handle : kAllHandles) {
        const QPointF anchor = handleAnchor(handle, selection);
        QPainterPath knob;
        knob.addRoundedRect(QRectF(anchor.x() - 4.5, anchor.y() - 4.5, 9.0, 9.0), 2.0, 2.0);
        painter.fillPath(knob, Qt::white);
        painter.strokePath(knob, outline);
    }
}

void paintSizeLabel(QPainter& painter, const OverlayScene& scene, const QRectF& selection) {
    const auto [width, height] = pixelSize(selection, scene.scale);
    const QString text = sizeLabelText(width, height);
    const QFont font = roundedFont(36, QFont::Bold);
    const QFontMetricsF metrics(font);
    const QSizeF textSize(metrics.horizontalAdvance(text), metrics.height());
    const QRectF box = sizeLabelBox(selection, scene.bounds, textSize);
    QPainterPath boxPath;
    boxPath.addRoundedRect(box, 12.0, 12.0);
    painter.fillPath(boxPath, Qt::black);
    painter.strokePath(boxPath, QPen(selectionYellow(), 1.0));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(QPointF(box.x() + kLabelPaddingX, box.y() + kLabelPaddingY), textSize),
                     Qt::AlignLeft | Qt::AlignTop, text);
}

}  // namespace

QColor selectionYellow() {
    return QColor(255, 204, 0);
}

void paintOverlay(QPainter& painter, const OverlayScene& scene) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (scene.backdrop.isNull()) {
        painter.fillRect(scene.bounds, Qt::transparent);
    } else {
        painter.drawImage(scene.bounds, scene.backdrop);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    paintDimming(painter, scene);
    if (scene.selection) {
        paintFrame(painter, *scene.selection);
        paintHandles(painter, *scene.selection);
        paintSizeLabel(painter, scene, *scene.selection);
    }
    painter.restore();
}

}  // namespace vantorel
