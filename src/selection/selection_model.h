#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantorel {

// The observable state between the overlay controller and the control bar. Every assignment
// emits changed(), even when the value stays the same. Main thread only.
class SelectionModel : public QObject {
    Q_OBJECT

  public:
    explicit SelectionModel(QObject* parent = nullptr);

    int64_t pixelWidth() const { return pixelWidth_; }
    int64_t pixelHeight() const { return pixelHeight_; }
    double scale() const { return scale_; }
    const std::optional<QString>& notice() const { return notice_; }
    int64_t lastWidth() const { return lastWidth_; }
    int64_t lastHeight() const { return lastHeight_; }

    void setPixelWidth(int64_t value);
    void setPixelHeight(int64_t value);
    void setScale(double value);
    void setNotice(std::optional<QString> value);
    void setLastWidth(int64_t value);
    void setLastHeight(int64_t value);

  signals:
    void changed();
    // Requests from the bar; the controller answers them.
    void presetRequested(qint64 width, qint64 height);
    void swapRequested();
    void recordRequested();
    void cancelRequested();

  private:
    int64_t pixelWidth_ = 0;
    int64_t pixelHeight_ = 0;
    double scale_ = 1.0;
    std::optional<QString> notice_;
    int64_t lastWidth_ = 0;
    int64_t lastHeight_ = 0;
};

}  // namespace vantorel
