#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdint>

namespace vantorel::e2e {

// What the scene shows inside the region a test records.
enum class SceneMode {
    still,  // a flat colour with a small blinking square, so frames keep coming
    noise,  // fresh random pixels every frame: video that hardly compresses
    clock,  // the time of each paint as a TimeCode
};

// A window of another program under the recorded region: a band of one colour round it, so that
// a recording cut one pixel off shows that colour at its edge, and the mode's content inside.
// It bypasses the window manager so that it sits exactly where the test puts it.
class SceneWindow final : public QWidget {
  public:
    SceneWindow(SceneMode mode, const QRect& region, int margin);

    static QColor bandColor() { return QColor(40, 200, 60); }
    static QColor fillColor() { return QColor(110, 160, 230); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void paintNoise(QPainter& painter, const QRect& inside);

    SceneMode mode_;
    int margin_;
    QTimer timer_;
    QImage noise_;
    uint64_t seed_ = 0x9e3779b97f4a7c15ull;
    int blink_ = 0;
};

}  // namespace vantorel::e2e
