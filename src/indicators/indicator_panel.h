#pragma once

#include <QRegion>
#include <QWidget>

namespace vantorel {

// A borderless window above everything else (panels and full-screen windows included), on every
// workspace, that never takes focus or activates the program. Click-through unless it takes
// clicks. Without a compositing manager translucent pixels come out black, so each indicator
// gives the shape of what it draws and the window is cut to it.
class IndicatorPanel : public QWidget {
    Q_OBJECT

  public:
    explicit IndicatorPanel(bool takesClicks);

    // Cuts the window to `shape` when no compositor blends its translucent pixels.
    void setVisibleShape(const QRegion& shape);
    // Shows the panel above every other window without activating the program.
    void showOnTop();
    // Takes the panel down; safe to call more than once.
    void takeDown();

    bool composited() const { return composited_; }

  private:
    bool composited_;
};

}  // namespace vantorel
