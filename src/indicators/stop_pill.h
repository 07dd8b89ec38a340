#pragma once

#include <functional>
#include <memory>

#include "app/flow_parts.h"
#include "indicators/indicator_panel.h"

class QRectF;
class QScreen;

namespace vantorel {

// The red capsule with a stop square and "Stop". A click runs the action without activating
// the program or taking focus from the application the user works in.
class StopPillView final : public IndicatorPanel {
    Q_OBJECT

  public:
    explicit StopPillView(std::function<void()> action);

    QSize sizeHint() const override;
    // The capsule inside the transparent 4-point margin.
    QRectF capsule() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QFont labelFont() const;

    std::function<void()> action_;
    bool pressed_ = false;
};

// The floating stop button: at the top centre of the recorded screen unless the recording would
// see it there (see stopPillFrame), and nowhere when every place would be in the recording.
class StopPill final : public IndicatorWindow {
  public:
    // `rect` is the recorded region in `screen`'s own coordinates.
    StopPill(QScreen* screen, const QRectF& rect, std::function<void()> action);
    ~StopPill() override;

    void orderFront() override;
    void close() override;
    // False when no place outside the recorded region was found: the pill is never shown.
    bool placed() const { return panel_ != nullptr; }
    StopPillView* panel() const { return panel_.get(); }

  private:
    std::unique_ptr<StopPillView> panel_;
};

}  // namespace vantorel
