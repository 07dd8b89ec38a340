#pragma once

#include <QRect>

#include <chrono>
#include <optional>

#include "vantorel_instance.h"

// The steps of a recording as a user takes them, shared by the end-to-end tests.
namespace vantorel::e2e {

using Clock = std::chrono::steady_clock;

// The two screens of the session.
inline const QRect kScreenA(0, 0, 1920, 1080);
inline const QRect kScreenB(1920, 0, 1920, 1080);

// Chooses "Start Recording" in the tray menu and waits for the overlay on both screens.
bool openOverlay(VantorelInstance& program);

// Drags out `region` on the overlay (its last pixel is one short of where the drag ends).
void dragRegion(const QRect& region);

// Presses Return to confirm the selection and answers when that was.
Clock::time_point confirmWithReturn();

// The stop pill's window once it is on screen.
std::optional<QRect> waitForPill(VantorelInstance& program, std::chrono::milliseconds ceiling);

// Whether the tray icon shows the red recording dot.
bool trayShowsRecording(const VantorelInstance& program);

// Waits until the program lists a recent recording and answers its path.
std::optional<QString> waitForRecent(const VantorelInstance& program,
                                     std::chrono::milliseconds ceiling);

double secondsBetween(Clock::time_point from, Clock::time_point to);

}  // namespace vantorel::e2e
