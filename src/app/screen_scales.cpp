#include "app/screen_scales.h"

#include <QGuiApplication>
#include <QScreen>

namespace vantorel {

ScreenScales::ScreenScales() {
    refresh();
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &ScreenScales::refresh);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenScales::refresh);
}

double ScreenScales::scaleFor(const std::string& screenName) const {
    std::lock_guard lock(mutex_);
    const auto found = scales_.find(screenName);
    return found == scales_.end() ? 1.0 : found->second;
}

void ScreenScales::refresh() {
    std::map<std::string, double> scales;
    for (QScreen* screen : QGuiApplication::screens()) {
        scales[screen->name().toStdString()] = screen->devicePixelRatio();
    }
    std::lock_guard lock(mutex_);
    scales_ = std::move(scales);
}

}  // namespace vantorel
