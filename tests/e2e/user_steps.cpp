#include "user_steps.h"

namespace vantorel::e2e {

bool openOverlay(VantorelInstance& program) {
    if (!program.chooseStartRecording()) {
        return false;
    }
    return waitUntil([&] { return program.screenSizedWindows() == 2; }, 20s, 100ms);
}

void dragRegion(const QRect& region) {
    const QPoint end = region.bottomRight() + QPoint(1, 1);
    drag(region.topLeft(), (region.topLeft() + end) / 2, end);
}

Clock::time_point confirmWithReturn() {
    const Clock::time_point pressed = Clock::now();
    pressKeys({"Return"});
    return pressed;
}

std::optional<QRect> waitForPill(VantorelInstance& program, std::chrono::milliseconds ceiling) {
    std::optional<QRect> pill;
    waitUntil(
        [&] {
            for (WindowId window : program.windows()) {
                const std::optional<QRect> rect = windowRect(window);
                // A small window along the top of a screen: the outline is a ring round the
                // region, and alerts are tall.
                if (rect && rect->top() < 40 && rect->height() < 60 && rect->width() < 200) {
                    pill = rect;
                    return true;
                }
            }
            return false;
        },
        ceiling, 100ms);
    return pill;
}

bool trayShowsRecording(const VantorelInstance& program) {
    if (!program.trayIcon()) {
        return false;
    }
    const QImage icon = grabScreen(*program.trayIcon());
    int red = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            red += isOutlineRed(icon.pixel(x, y)) ? 1 : 0;
        }
    }
    return red >= 20;
}

std::optional<QString> waitForRecent(const VantorelInstance& program,
                                     std::chrono::milliseconds ceiling) {
    std::optional<QString> recent;
    waitUntil(
        [&] {
            const QStringList recents = program.recentRecordings();
            if (!recents.isEmpty()) {
                recent = recents.first();
            }
            return recent.has_value();
        },
        ceiling, 100ms);
    return recent;
}

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace vantorel::e2e
