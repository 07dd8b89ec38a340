#include "indicators/stop_pill.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <vector>

#include "indicators/indicator_geometry.h"
#include "platform/system_colors.h"
#include "selection/rounded_font.h"

namespace vantorel {

namespace {

constexpr double kSpacing = 6;
constexpr double kHorizontalPadding = 14;
constexpr double kVerticalPadding = 6;
constexpr double kOuterPadding = 4;
constexpr int kFontSize = 13;
const QString kTitle = QStringLiteral("Stop");

// The stop square matches the capital height of the text beside it.
double squareSide(const QFontMetricsF& metrics) {
    return std::round(metrics.capHeight());
}

}  // namespace

StopPillView::StopPillView() : IndicatorPanel(true) {
    setCursor(Qt::ArrowCursor);
}

QFont StopPillView::labelFont() const {
    return systemFont(kFontSize, QFont::Bold);
}

QSize StopPillView::sizeHint() const {
    const QFontMetricsF metrics(labelFont());
    const double contentWidth = squareSide(metrics) + kSpacing + metrics.horizontalAdvance(kTitle);
    const double contentHeight = std::max(squareSide(metrics), metrics.height());
    return QSizeF(contentWidth + 2 * (kHorizontalPadding + kOuterPadding),
                  contentHeight + 2 * (kVerticalPadding + kOuterPadding))
        .toSize();
}

QRectF StopPillView::capsule() const {
    return QRectF(rect()).adjusted(kOuterPadding, kOuterPadding, -kOuterPadding, -kOuterPadding);
}

void StopPillView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    const QRectF pill = capsule();
    const double radius = pill.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(kRecordingRed));
    painter.drawRoundedRect(pill, radius, radius);

    const QFont font = labelFont();
    const QFontMetricsF metrics(font);
    const double side = squareSide(metrics);
    const double contentWidth = side + kSpacing + metrics.horizontalAdvance(kTitle);
    const double left = pill.center().x() - contentWidth / 2;
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(left, pill.center().y() - side / 2, side, side), 1.5, 1.5);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(left + side + kSpacing, pill.top(), pill.right() - left, pill.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, kTitle);
}

void StopPillView::resizeEvent(QResizeEvent*) {
    QPainterPath path;
    const QRectF pill = capsule();
    path.addRoundedRect(pill, pill.height() / 2, pill.height() / 2);
    setVisibleShape(QRegion(path.toFillPolygon().toPolygon()));
}

void StopPillView::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton && capsule().contains(event->position());
}

void StopPillView::mouseReleaseEvent(QMouseEvent* event) {
    const bool clicked =
        pressed_ && event->button() == Qt::LeftButton && capsule().contains(event->position());
    pressed_ = false;
    if (clicked) {
        emit this->clicked();
    }
}

std::unique_ptr<StopPill> StopPill::create(QScreen* screen, const QRectF& rect) {
    if (screen == nullptr) {
        return nullptr;
    }
    auto view = std::make_unique<StopPillView>();
    const QList<QScreen*> screens = QGuiApplication::screens();
    std::vector<ScreenArea> areas;
    for (QScreen* each : screens) {
        areas.push_back(ScreenArea{QRectF(each->geometry()), QRectF(each->availableGeometry())});
    }
    const auto home = static_cast<size_t>(std::max<qsizetype>(0, screens.indexOf(screen)));
    const std::optional<QRectF> frame = stopPillFrame(
        areas, home, globalFrame(QRectF(screen->geometry()), rect), QSizeF(view->sizeHint()));
    if (!frame) {
        return nullptr;
    }
    view->setGeometry(frame->toAlignedRect());
    return std::unique_ptr<StopPill>(new StopPill(std::move(view)));
}

StopPill::StopPill(std::unique_ptr<StopPillView> panel) : panel_(std::move(panel)) {
    connect(panel_.get(), &StopPillView::clicked, this, &StopButton::clicked);
}

StopPill::~StopPill() {
    close();
}

void StopPill::showOnTop() {
    if (panel_) {
        panel_->showOnTop();
    }
}

void StopPill::close() {
    if (panel_) {
        panel_->takeDown();
        // A click on the pill commonly leads here from inside the view's own mouse handler: the
        // view goes once that handler has returned.
        panel_.release()->deleteLater();
    }
}

}  // namespace vantorel
