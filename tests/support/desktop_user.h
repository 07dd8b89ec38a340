#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include "event_loop.h"

#include <chrono>
#include <optional>

// What a user's hands and eyes do on the session's X server: xdotool for the pointer and the
// keys, xwininfo for where windows are, the root window's pixels for what is on screen.
namespace vantorel::testing {

using namespace std::chrono_literals;
using WindowId = quint64;

// The two monitors of the headless session.
inline const QRect kScreenA(0, 0, 1920, 1080);
inline const QRect kScreenB(1920, 0, 1920, 1080);

// A tool's standard output; nothing when it fails or hangs.
std::optional<QByteArray> run(const QString& program, const QStringList& arguments);

// Each returns once the X server has seen the input.
void moveMouse(QPoint where);
void click(QPoint where, int button = 1);
void pressKeys(const QStringList& keys);
// Drags from the region's top left to one past its bottom right, as a selection of it.
void dragOut(const QRect& region);

// Windows mapped and visible, as `xdotool search --onlyvisible` finds them.
QList<WindowId> windowsOfProcess(qint64 pid);
std::optional<WindowId> windowTitled(const QString& title);
std::optional<QRect> windowRect(WindowId window);  // client area in root coordinates
// Gives the window the keyboard and presses the key in it.
void pressKeyIn(WindowId window, const QString& key);

QImage grabScreen(const QRect& area);

int colorDistance(QRgb a, QRgb b);  // the largest difference of one channel
bool isRecordingRed(QRgb pixel);    // the outline's, the stop button's and the tray dot's red
int countPixels(const QImage& image, const std::function<bool(int x, int y)>& counted);

}  // namespace vantorel::testing
