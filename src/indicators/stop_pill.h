#pragma once

#include <memory>

#include "indicators/indicator_panel.h"
#include "indicators/stop_button.h"

class QRectF;
class QScreen;

namespace vantorel {

// The red capsule with a stop square and "Stop". A click is reported without activating the
// program or taking focus from the application the user works in.
class StopPillView final : public IndicatorPanel {
    Q_OBJECT

  public:
    StopPillView();

    QSize sizeHint() const override;
    // The capsule inside the transparent 4-pixel margin.
    QRectF capsule() const;

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QFont labelFont() const;

    bool pressed_ = false;
};

// The floating stop button: at the top centre of the recorded screen unless the recording would
// see it there (see stopPillFrame).
class StopPill final : public StopButton {
    Q_OBJECT

  public:
    // Nothing when every place outside the recorded region would be in the recording. `rect` is
    // the recorded region in `screen`'s own coordinates.
    static std::unique_ptr<StopPill> create(QScreen* screen, const QRectF& rect);
    ~StopPill() override;

    void showOnTop() override;
    void close() override;
    // The window, until it is closed.
    StopPillView* panel() const { return panel_.get(); }

  private:
    explicit StopPill(std::unique_ptr<StopPillView> panel);

    std::unique_ptr<StopPillView> panel_;
};

}  // namespace vantorel
