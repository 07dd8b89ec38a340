#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/flow_parts.h"
#include "capture/capture_engine.h"
#include "platform/capture_service.h"

class QMenu;
class QScreen;

namespace vantorel {

class FileBrowser;
class Notifier;
class PreferenceStore;
class Presenter;
class Scheduler;
class StatusItem;

// Everything the application controller uses from outside, handed in once at start-up: the
// real services in the program, stand-ins in tests. The referenced objects outlive the
// controller.
struct AppServices {
    PreferenceStore* store = nullptr;
    Presenter* presenter = nullptr;
    FileBrowser* fileBrowser = nullptr;
    Notifier* notifier = nullptr;
    Scheduler* scheduler = nullptr;
    ScreenCaptureAccess* captureAccess = nullptr;

    std::function<QList<QScreen*>()> screens;
    std::function<std::unique_ptr<StatusItem>(QMenu* menu)> makeStatusItem;
    SelectionOverlayFactory makeOverlay;
    CountdownPanelFactory makeCountdown;
    OutlineFactory makeOutline;
    StopPillFactory makePill;
    HotKeyFactory makeHotKey;          // may be empty: no system-wide shortcut
    SleepGuard* sleepGuard = nullptr;  // may be null: sleep is not held off

    // The capture side.
    std::shared_ptr<CaptureService> captureService;
    CaptureEngineFactory makeEngine;
    DisplayIdLookup displayId;

    std::function<std::optional<int64_t>(const QString& folder)> freeBytes;
    // Ends the event loop once a quit has been allowed.
    std::function<void()> terminate;
    int64_t processId = 0;
};

}  // namespace vantorel
