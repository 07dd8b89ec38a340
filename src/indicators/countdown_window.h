#pragma once

#include <memory>

#include "indicators/countdown_panel.h"
#include "indicators/indicator_panel.h"
#include "selection/selection.h"

namespace vantorel {

// The number of the countdown in a dark circle in the middle of the region; the rest of the
// window is see-through and click-through.
class CountdownView final : public IndicatorPanel {
    Q_OBJECT

  public:
    CountdownView();

    int number() const { return number_; }
    void setNumber(int number);
    // The number's face: 0.6 of the circle's diameter, exactly (28.8 pixels for a 48-pixel disc).
    QFont numberFont() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QRectF circle() const;

    int number_ = 3;
};

// The countdown panel over a confirmed region, stepped 3, 2, 1 by the recording flow.
class CountdownWindow final : public CountdownPanel {
  public:
    explicit CountdownWindow(const Selection& selection);
    ~CountdownWindow() override;

    void show(int number) override;
    void setNumber(int number) override;
    void close() override;
    CountdownView* view() const { return view_.get(); }

  private:
    std::unique_ptr<CountdownView> view_;
};

}  // namespace vantorel
