#pragma once

#include <QByteArray>
#include <QClipboard>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

// What a user's hands and eyes do on the session's X server: xdotool for the mouse and keys,
// xwininfo for where windows are, the root window's pixels for what is on screen.
namespace vantorel::e2e {

using namespace std::chrono_literals;

struct CommandResult {
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
    bool ok() const { return exitCode == 0; }
};

CommandResult runCommand(const QString& program, const QStringList& arguments,
                         std::chrono::milliseconds ceiling = 30s);

// Turns the event loop (the test's clipboard and D-Bus need it) until `ready` answers true or
// the ceiling has passed; answers what `ready` said last.
bool waitUntil(const std::function<bool()>& ready, std::chrono::milliseconds ceiling,
               std::chrono::milliseconds step = 40ms);

// Lets time pass with the event loop running.
void pause(std::chrono::milliseconds duration);

using WindowId = quint64;

// Input, each step done by the time the call returns.
void moveMouse(QPoint where);
void click(QPoint where, int button = 1);
void tripleClick(QPoint where);
void drag(QPoint from, QPoint via, QPoint to);
void pressKeys(const QStringList& keys);

// Windows.
QList<WindowId> visibleWindowsOf(qint64 pid);
QList<WindowId> visibleWindowsNamed(const QString& pattern);
std::optional<QRect> windowRect(WindowId window);  // the client area, in root coordinates
void activate(WindowId window);

// Pixels of the screen in root coordinates.
QImage grabScreen(const QRect& area);

// The text another program holds as the primary selection or on the clipboard.
QString selectionText(QClipboard::Mode mode);

// Colour tests.
int colorDistance(QRgb a, QRgb b);  // the largest difference of one channel
bool isOutlineRed(QRgb pixel);
int luminance(QRgb pixel);

}  // namespace vantorel::e2e
