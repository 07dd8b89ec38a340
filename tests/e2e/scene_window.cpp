#include "scene_window.h"

#include <QPainter>

#include "time_code.h"

namespace vantorel::e2e {

namespace {

int intervalFor(SceneMode mode) {
    switch (mode) {
        case SceneMode::clock:
            return 5;  // a reading at most this old ends up in a grabbed frame
        case SceneMode::noise:
            return 16;
        case SceneMode::still:
            break;
    }
    return 100;
}

}  // namespace

SceneWindow::SceneWindow(SceneMode mode, const QRect& region, int margin)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput),
      mode_(mode),
      margin_(margin) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(region.adjusted(-margin, -margin, margin, margin));
    if (mode_ == SceneMode::noise) {
        noise_ = QImage(region.size(), QImage::Format_RGB32);
    }
    timer_.setInterval(intervalFor(mode_));
    connect(&timer_, &QTimer::timeout, this, [this] {
        ++blink_;
        update();
    });
    timer_.start();
}

void SceneWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), bandColor());
    const QRect inside = rect().adjusted(margin_, margin_, -margin_, -margin_);
    switch (mode_) {
        case SceneMode::still:
            painter.fillRect(inside, fillColor());
            painter.fillRect(QRect(inside.topLeft() + QPoint(40, 40), QSize(40, 40)),
                             blink_ % 2 == 0 ? Qt::white : Qt::black);
            break;
        case SceneMode::noise:
            paintNoise(painter, inside);
            break;
        case SceneMode::clock:
            TimeCode::paint(painter, inside, TimeCode::nowMs());
            break;
    }
}

void SceneWindow::paintNoise(QPainter& painter, const QRect& inside) {
    // xorshift: cheap enough to refill the whole region at the frame rate.
    for (int y = 0; y < noise_.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(noise_.scanLine(y));
        for (int x = 0; x < noise_.width(); ++x) {
            seed_ ^= seed_ << 13;
            seed_ ^= seed_ >> 7;
            seed_ ^= seed_ << 17;
            line[x] = 0xff000000u | static_cast<uint32_t>(seed_);
        }
    }
    painter.drawImage(inside.topLeft(), noise_);
}

}  // namespace vantorel::e2e
