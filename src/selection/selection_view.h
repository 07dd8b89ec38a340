#pragma once

#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace vantorel {

class SelectionOverlayController;

// The overlay window of one screen. It dims the screen, draws the selection when it lives here,
// forwards the left mouse button to the controller in its own coordinates and turns Return,
// keypad Enter and Escape into confirming and cancelling. It keeps no selection state: what it
// draws is read from the controller at paint time. Main thread only.
class SelectionView : public QWidget {
    Q_OBJECT

  public:
    SelectionView(QScreen* screen, SelectionOverlayController* controller);

    QScreen* overlayScreen() const { return screen_.data(); }
    // Device pixels per logical pixel of its screen.
    double scale() const;
    // Its rectangle in its own coordinates: (0, 0, screen width, screen height).
    QRectF bounds() const;

    // The picture shown under the dimming when no compositing manager can blend the overlay with
    // the desktop.
    void setBackdrop(QImage backdrop);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QPointer<QScreen> screen_;
    QPointer<SelectionOverlayController> controller_;
    QImage backdrop_;
};

}  // namespace vantorel
