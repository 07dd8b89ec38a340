#pragma once

#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include <vector>

class QLabel;

namespace vantorel {

class ActionButton;
class PresetButton;
class SelectionModel;

// The dark floating bar beside the selection: a notice line over the size presets, a "Last used"
// size when it is not a preset, swap, Record and Cancel. It keeps no state of its own: it
// re-reads the model after every change the model announces and acts only through the model's
// request signals. Main thread only.
class ControlBarView : public QWidget {
    Q_OBJECT

  public:
    explicit ControlBarView(SelectionModel* model, QWidget* parent = nullptr);

    // Whether the "Last used" button is shown for the model's last size.
    bool showsLast() const;

    // The visible outline of the bar, inside its transparent margin; without a compositing
    // manager the window is cut to it.
    QPainterPath backgroundShape() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void scheduleRefresh();
    void refresh();
    void connectPreset(PresetButton* button);

    QPointer<SelectionModel> model_;
    QLabel* notice_ = nullptr;
    PresetButton* lastUsed_ = nullptr;
    std::vector<PresetButton*> presets_;
    bool refreshPending_ = false;
};

}  // namespace vantorel
