#include "selection/selection_overlay_controller.h"

#include "selection/bar_placement.h"
#include "selection/compositor_probe.h"
#include "selection/control_bar_view.h"
#include "selection/floating_window.h"
#include "selection/selection_math.h"
#include "selection/selection_rules.h"
#include "selection/selection_view.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vantorel {

namespace {

constexpr int kNoticeMilliseconds = 2500;

QString fitsToScreenNotice() {
    return QCoreApplication::translate("SelectionOverlay", "Fits to screen");
}

// The screen as it looks before the overlay covers it. With window 0 the grab covers this
// screen's area of the desktop; coordinates would count from the screen's corner.
QImage snapshotOf(QScreen& screen) {
    return screen.grabWindow(0).toImage();
}

}  // namespace

SelectionOverlayController::SelectionOverlayController(
    std::optional<std::pair<int64_t, int64_t>> lastSize, QObject* parent)
    : SelectionOverlay(parent) {
    noticeTimer_.setSingleShot(true);
    noticeTimer_.setInterval(kNoticeMilliseconds);
    connect(&noticeTimer_, &QTimer::timeout, this, [this] { model_.setNotice(std::nullopt); });
    if (lastSize && lastSize->first >= 1 && lastSize->second >= 1) {
        model_.setLastWidth(lastSize->first);
        model_.setLastHeight(lastSize->second);
    }
    connectModel();
}

SelectionOverlayController::~SelectionOverlayController() {
    close();
}

void SelectionOverlayController::connectModel() {
    connect(&model_, &SelectionModel::presetRequested, this,
            &SelectionOverlayController::applyPreset);
    connect(&model_, &SelectionModel::swapRequested, this,
            [this] { applyPreset(model_.pixelHeight(), model_.pixelWidth()); });
    connect(&model_, &SelectionModel::recordRequested, this, &SelectionOverlayController::confirm);
    connect(&model_, &SelectionModel::cancelRequested, this, &SelectionOverlayController::cancel);
}

SelectionView* SelectionOverlayController::activeView() const {
    return activeView_;
}

std::vector<SelectionView*> SelectionOverlayController::views() const {
    std::vector<SelectionView*> result;
    for (const auto& view : views_) {
        if (view) {
            result.push_back(view);
        }
    }
    return result;
}

void SelectionOverlayController::show() {
    if (closed_ || !views_.empty()) {
        return;
    }
    composited_ = compositorRunning();
    createViews();
    for (SelectionView* view : views()) {
        view->show();
        view->raise();
    }
    if (SelectionView* key = keyView()) {
        // Windows that bypass the window manager are never given the focus, so the overlay takes
        // the keyboard itself for Return and Escape to arrive.
        key->activateWindow();
        key->setFocus(Qt::ActiveWindowFocusReason);
        key->grabKeyboard();
    }
}

void SelectionOverlayController::createViews() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    // Every snapshot is taken before the first overlay appears, or later ones would show it.
    std::vector<QImage> backdrops;
    for (QScreen* screen : screens) {
        backdrops.push_back(composited_ ? QImage() : snapshotOf(*screen));
    }
    for (qsizetype i = 0; i < screens.size(); ++i) {
        auto* view = new SelectionView(screens[i], this);
        makeFloatingWindow(*view, composited_);
        view->setBackdrop(std::move(backdrops[static_cast<size_t>(i)]));
        view->setScreen(screens[i]);
        view->setGeometry(screens[i]->geometry());
        views_.emplace_back(view);
    }
}

SelectionView* SelectionOverlayController::keyView() const {
    const std::vector<SelectionView*> all = views();
    const QPoint pointer = QCursor::pos();
    const auto under = std::find_if(all.begin(), all.end(), [&](SelectionView* view) {
        return view->geometry().contains(pointer);
    });
    if (under != all.end()) {
        return *under;
    }
    return all.empty() ? nullptr : all.front();
}

void SelectionOverlayController::cancel() {
    if (closed_) {
        return;
    }
    close();
    emit cancelled();
}

void SelectionOverlayController::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    noticeTimer_.stop();
    // Deleted later: close() is often reached from inside one of these windows' own event
    // handlers.
    if (barPanel_) {
        barPanel_->hide();
        barPanel_->deleteLater();
    }
    barPanel_ = nullptr;
    for (const auto& view : views_) {
        if (view) {
            view->releaseKeyboard();
            view->hide();
            view->deleteLater();
        }
    }
    views_.clear();
}

void SelectionOverlayController::mouseDown(SelectionView* view, const QPointF& point) {
    const SelectionView* active = activeView_.data();
    if (closed_ || (active != nullptr && active != view)) {
        return;
    }
    hideBar();
    const PressOutcome outcome = pressRule(point, rect_, active == view, view->bounds());
    drag_ = outcome.drag;
    if (outcome.startsNewSelection) {
        activeView_ = view;
        rect_.reset();
        redrawAll();
    }
}

void SelectionOverlayController::mouseDragged(SelectionView* view, const QPointF& point) {
    if (closed_ || view == nullptr || view != activeView_.data()) {
        return;
    }
    const DragOutcome outcome = dragRule(point, drag_, view->bounds(), view->scale());
    if (!outcome.changed) {
        return;
    }
    rect_ = outcome.rect;
    redrawAll();
}

void SelectionOverlayController::mouseUp(SelectionView*, const QPointF&) {
    const SelectionView* active = activeView_.data();
    if (closed_ || active == nullptr || std::holds_alternative<drag::None>(drag_)) {
        return;
    }
    drag_ = drag::None{};
    rect_ = releaseRule(rect_, active->bounds(), active->scale());
    if (rect_) {
        showBar();
    } else {
        // Any screen may take the next press.
        activeView_ = nullptr;
    }
    redrawAll();
}

void SelectionOverlayController::applyPreset(int64_t width, int64_t height) {
    const SelectionView* active = activeView_.data();
    if (closed_ || active == nullptr) {
        return;
    }
    const auto outcome = presetRule(width, height, rect_, active->bounds(), active->scale());
    if (!outcome) {
        return;
    }
    rect_ = outcome->rect;
    refreshModel();
    positionBar();
    redrawAll();
    noticeTimer_.stop();
    if (outcome->fitted) {
        model_.setNotice(fitsToScreenNotice());
        noticeTimer_.start();
    } else {
        model_.setNotice(std::nullopt);
    }
}

void SelectionOverlayController::confirm() {
    const SelectionView* active = activeView_.data();
    if (closed_ || !rect_ || active == nullptr) {
        return;
    }
    const auto [pixelWidth, pixelHeight] = pixelSize(*rect_, active->scale());
    const Selection selection{active->overlayScreen(), *rect_, pixelWidth, pixelHeight};
    close();
    emit confirmed(selection);
}

void SelectionOverlayController::refreshModel() {
    const SelectionView* active = activeView_.data();
    if (!rect_ || active == nullptr) {
        return;
    }
    const double scale = active->scale();
    const auto [pixelWidth, pixelHeight] = pixelSize(*rect_, scale);
    model_.setScale(scale);
    model_.setPixelWidth(pixelWidth);
    model_.setPixelHeight(pixelHeight);
}

void SelectionOverlayController::showBar() {
    if (!rect_ || !activeView_) {
        return;
    }
    refreshModel();
    if (!barPanel_) {
        auto* panel = new QWidget;
        makeFloatingWindow(*panel, composited_);
        panel->setAttribute(Qt::WA_ShowWithoutActivating);
        panel->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
        // The bar never becomes the active window (the overlay keeps the keyboard); Qt would
        // show tooltips only for the active one.
        panel->setAttribute(Qt::WA_AlwaysShowToolTips);
        auto* layout = new QVBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* bar = new ControlBarView(&model_, panel);
        layout->addWidget(bar);
        // The bar's ideal size, kept for the panel's whole life. The bar takes it at once, as
        // the mask below is cut from its outline.
        const QSize size = bar->sizeHint();
        bar->resize(size);
        panel->setFixedSize(size);
        if (!composited_) {
            panel->setMask(QRegion(bar->backgroundShape().toFillPolygon().toPolygon()));
        }
        barPanel_ = panel;
    }
    positionBar();
    barPanel_->show();
    barPanel_->raise();
}

void SelectionOverlayController::hideBar() {
    if (barPanel_) {
        barPanel_->hide();
    }
}

void SelectionOverlayController::positionBar() {
    const SelectionView* active = activeView_.data();
    QWidget* bar = barPanel_.data();
    QScreen* screen = active != nullptr ? active->overlayScreen() : nullptr;
    if (!rect_ || bar == nullptr || screen == nullptr) {
        return;
    }
    const QPointF origin =
        barOrigin(QRectF(screen->geometry()), QRectF(screen->availableGeometry()), *rect_,
                  QSizeF(bar->size()));
    bar->move(static_cast<int>(std::lround(origin.x())), static_cast<int>(std::lround(origin.y())));
}

void SelectionOverlayController::redrawAll() {
    for (SelectionView* view : views()) {
        view->update();
    }
}

}  // namespace vantorel
