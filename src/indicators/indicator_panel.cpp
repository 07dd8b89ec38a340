#include "indicators/indicator_panel.h"

#include "selection/compositor_probe.h"
#include "selection/floating_window.h"

namespace vantorel {

IndicatorPanel::IndicatorPanel(bool takesClicks) : composited_(compositorRunning()) {
    makeFloatingWindow(*this, composited_);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setWindowFlag(Qt::WindowTransparentForInput, !takesClicks);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
}

void IndicatorPanel::setVisibleShape(const QRegion& shape) {
    if (!composited_) {
        setMask(shape);
    }
}

void IndicatorPanel::showOnTop() {
    show();
    raise();
}

void IndicatorPanel::takeDown() {
    hide();
    close();
}

}  // namespace vantorel
