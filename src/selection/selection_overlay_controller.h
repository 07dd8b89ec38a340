#pragma once

#include "selection/drag_mode.h"
#include "selection/selection.h"
#include "selection/selection_model.h"
#include "selection/selection_overlay.h"

#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace vantorel {

class ControlBarView;
class SelectionView;

// Runs one region selection: an overlay on every screen on which the user draws, moves and
// resizes a rectangle, and a control bar beside it. After it has ended (confirmed, cancelled or
// closed) it ignores everything. Used once. Main thread only.
class SelectionOverlayController final : public SelectionOverlay {
    Q_OBJECT

  public:
    // Shows nothing yet. `lastSize` is the pixel size of the last recording, if one is stored.
    explicit SelectionOverlayController(
        std::optional<std::pair<int64_t, int64_t>> lastSize = std::nullopt,
        QObject* parent = nullptr);
    // Takes the windows down without reporting.
    ~SelectionOverlayController() override;

    SelectionOverlayController(const SelectionOverlayController&) = delete;
    SelectionOverlayController& operator=(const SelectionOverlayController&) = delete;

    // Covers every screen with an overlay and takes the keyboard.
    void show() override;
    void cancel() override;
    void close() override;

    // From the views, in the view's own coordinates.
    void mouseDown(SelectionView* view, const QPointF& point);
    void mouseDragged(SelectionView* view, const QPointF& point);
    void mouseUp(SelectionView* view, const QPointF& point);
    // Closes, then reports the selection as confirmed; nothing without a selection.
    void confirm();
    // Replaces the selection with one of width x height pixels around its centre.
    void applyPreset(int64_t width, int64_t height);

    bool isClosed() const { return closed_; }
    const std::optional<QRectF>& rect() const { return rect_; }
    SelectionView* activeView() const;
    // One view per screen in the order of QGuiApplication::screens(); empty when closed.
    std::vector<SelectionView*> views() const;
    // The control bar's window, once it has been needed; null when closed.
    QWidget* barWindow() const { return barPanel_; }

  private:
    void connectModel();
    void createViews();
    // The overlay under the pointer, which takes the keyboard; else the first one.
    SelectionView* keyView() const;
    void refreshModel();
    void showBar();
    void hideBar();
    void positionBar();
    void redrawAll();

    std::vector<QPointer<SelectionView>> views_;
    QPointer<SelectionView> activeView_;
    std::optional<QRectF> rect_;
    DragMode drag_ = drag::None{};
    SelectionModel model_;
    QPointer<QWidget> barPanel_;
    QTimer noticeTimer_;
    bool closed_ = false;
    bool composited_ = false;
};

}  // namespace vantorel
