#include "selection/preset_button.h"

#include "selection/overlay_painter.h"
#include "selection/rounded_font.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vantorel {

namespace {

constexpr double kHorizontalPadding = 8.0;
constexpr int kHeight = 36;
constexpr double kLineGap = 1.0;

QFont sizeFont() {
    return roundedFont(12, QFont::DemiBold);
}

QFont captionFont() {
    return systemFont(9, QFont::Normal);
}

}  // namespace

PresetButton::PresetButton(SizePreset preset, QWidget* parent)
    : QAbstractButton(parent), preset_(std::move(preset)) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void PresetButton::setPreset(SizePreset preset) {
    preset_ = std::move(preset);
    updateGeometry();
    update();
}

void PresetButton::setSelected(bool selected) {
    if (selected_ != selected) {
        selected_ = selected;
        update();
    }
}

QSize PresetButton::sizeHint() const {
    const double sizeWidth =
        QFontMetricsF(sizeFont())
            .horizontalAdvance(SizePresets::sizeText(preset_.width, preset_.height));
    const double captionWidth = QFontMetricsF(captionFont()).horizontalAdvance(preset_.caption);
    const double width = std::max(sizeWidth, captionWidth) + 2.0 * kHorizontalPadding;
    return {static_cast<int>(std::ceil(width)), kHeight};
}

void PresetButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), 8.0, 8.0);
    painter.fillPath(background,
                     selected_ ? selectionYellow() : QColor::fromRgbF(1.0, 1.0, 1.0, 0.12));

    const QColor ink = selected_ ? Qt::black : Qt::white;
    const QFontMetricsF sizeMetrics(sizeFont());
    const QFontMetricsF captionMetrics(captionFont());
    const double stackHeight = sizeMetrics.height() + kLineGap + captionMetrics.height();
    const double top = (height() - stackHeight) * 0.5;
    painter.setPen(ink);
    painter.setFont(sizeFont());
    painter.drawText(QRectF(0.0, top, width(), sizeMetrics.height()), Qt::AlignHCenter,
                     SizePresets::sizeText(preset_.width, preset_.height));
    painter.setOpacity(0.8);
    painter.setFont(captionFont());
    painter.drawText(
        QRectF(0.0, top + sizeMetrics.height() + kLineGap, width(), captionMetrics.height()),
        Qt::AlignHCenter, preset_.caption);
}

}  // namespace vantorel
