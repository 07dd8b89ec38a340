#pragma once

#include "selection/size_presets.h"

#include <QAbstractButton>

namespace vantorel {

// One size preset of the control bar: the size over its caption, on a yellow background when
// the selection has exactly that size. Main thread only.
class PresetButton : public QAbstractButton {
    Q_OBJECT

  public:
    explicit PresetButton(SizePreset preset, QWidget* parent = nullptr);

    const SizePreset& preset() const { return preset_; }
    void setPreset(SizePreset preset);

    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    SizePreset preset_;
    bool selected_ = false;
};

}  // namespace vantorel
