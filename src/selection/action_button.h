#pragma once

#include <QAbstractButton>

namespace vantorel {

// The control bar's swap, Record and Cancel buttons, each drawn to its own look. Main thread
// only.
class ActionButton : public QAbstractButton {
    Q_OBJECT

  public:
    enum class Kind { swap, record, cancel };

    explicit ActionButton(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void paintSwap(QPainter& painter) const;
    void paintRecord(QPainter& painter) const;
    void paintCancel(QPainter& painter) const;

    Kind kind_;
};

}  // namespace vantorel
