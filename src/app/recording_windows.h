#pragma once

#include <functional>
#include <memory>

#include "indicators/countdown_panel.h"
#include "indicators/indicator_window.h"
#include "indicators/stop_button.h"
#include "selection/selection.h"
#include "selection/selection_overlay.h"

namespace vantorel {

// The windows of one recording, made by the recording flow as it needs them: the real ones in
// the program, stand-ins in tests.
struct RecordingWindows {
    std::function<std::unique_ptr<SelectionOverlay>()> overlay;
    std::function<std::unique_ptr<CountdownPanel>(const Selection&)> countdown;
    std::function<std::unique_ptr<IndicatorWindow>(const Selection&)> outline;
    // Nothing when every place for the button would be in the recording.
    std::function<std::unique_ptr<StopButton>(const Selection&)> stopButton;
};

}  // namespace vantorel
