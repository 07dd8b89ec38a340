#pragma once

#include <QRectF>

#include <memory>

#include "indicators/indicator_panel.h"
#include "indicators/indicator_window.h"

class QScreen;

namespace vantorel {

// Draws the red ring: a 2-pixel stroke from 3 to 1 logical pixels outside the recorded region.
class OutlineView final : public IndicatorPanel {
    Q_OBJECT

  public:
    OutlineView();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

// The outline round the recorded region while it records. Built hidden; the owner shows it.
class OutlineWindow final : public IndicatorWindow {
  public:
    OutlineWindow(QScreen* screen, const QRectF& rect);
    ~OutlineWindow() override;

    void showOnTop() override;
    void close() override;
    // The window, while it exists.
    QWidget* panel() const { return panel_.get(); }

  private:
    std::unique_ptr<OutlineView> panel_;
};

}  // namespace vantorel
