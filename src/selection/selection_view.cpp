#include "selection/selection_view.h"

#include "selection/overlay_painter.h"
#include "selection/selection_overlay_controller.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <utility>

namespace vantorel {

SelectionView::SelectionView(QScreen* screen, SelectionOverlayController* controller)
    : screen_(screen), controller_(controller) {
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

double SelectionView::scale() const {
    return screen_ ? screen_->devicePixelRatio() : 1.0;
}

QRectF SelectionView::bounds() const {
    const QSize size = screen_ ? screen_->geometry().size() : this->size();
    return QRectF(0.0, 0.0, size.width(), size.height());
}

void SelectionView::setBackdrop(QImage backdrop) {
    backdrop_ = std::move(backdrop);
    update();
}

void SelectionView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (SelectionOverlayController* controller = controller_.data()) {
        controller->mouseDown(this, event->position());
    }
}

void SelectionView::mouseMoveEvent(QMouseEvent* event) {
    // Plain hovering is tracked only so that the cursor stays a crosshair.
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    if (SelectionOverlayController* controller = controller_.data()) {
        controller->mouseDragged(this, event->position());
    }
}

void SelectionView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (SelectionOverlayController* controller = controller_.data()) {
        controller->mouseUp(this, event->position());
    }
}

void SelectionView::keyPressEvent(QKeyEvent* event) {
    SelectionOverlayController* controller = controller_.data();
    if (controller == nullptr) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Other keys are swallowed: while the overlay holds the keyboard nothing else should see
    // them.
    event->accept();
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (controller->rect()) {
                controller->confirm();
            }
            break;
        case Qt::Key_Escape:
            controller->cancel();
            break;
        default:
            break;
    }
}

void SelectionView::paintEvent(QPaintEvent*) {
    OverlayScene scene;
    scene.bounds = bounds();
    scene.scale = scale();
    scene.backdrop = backdrop_;
    if (const SelectionOverlayController* controller = controller_.data();
        controller != nullptr && controller->activeView() == this) {
        scene.selection = controller->rect();
    }
    QPainter painter(this);
    paintOverlay(painter, scene);
}

}  // namespace vantorel
