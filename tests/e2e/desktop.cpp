#include "desktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstdlib>

namespace vantorel::e2e {

CommandResult runCommand(const QString& program, const QStringList& arguments,
                         std::chrono::milliseconds ceiling) {
    QProcess process;
    process.start(program, arguments);
    CommandResult result;
    if (!process.waitForStarted() || !process.waitForFinished(static_cast<int>(ceiling.count()))) {
        process.kill();
        process.waitForFinished();
        result.errors = program.toUtf8() + " did not finish";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

bool waitUntil(const std::function<bool()>& ready, std::chrono::milliseconds ceiling,
               std::chrono::milliseconds step) {
    QElapsedTimer clock;
    clock.start();
    while (true) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (ready()) {
            return true;
        }
        if (clock.elapsed() > ceiling.count()) {
            return ready();
        }
        QThread::msleep(static_cast<unsigned long>(step.count()));
    }
}

void pause(std::chrono::milliseconds duration) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
}

namespace {

void xdotool(const QStringList& arguments) {
    runCommand("xdotool", arguments);
}

QString number(int value) {
    return QString::number(value);
}

}  // namespace

void moveMouse(QPoint where) {
    xdotool({"mousemove", "--sync", number(where.x()), number(where.y())});
}

void click(QPoint where, int button) {
    xdotool({"mousemove", "--sync", number(where.x()), number(where.y()), "click", number(button)});
}

void tripleClick(QPoint where) {
    xdotool({"mousemove", "--sync", number(where.x()), number(where.y()), "click", "--repeat", "3",
             "--delay", "60", "1"});
}

void drag(QPoint from, QPoint via, QPoint to) {
    xdotool({"mousemove", "--sync", number(from.x()), number(from.y()), "mousedown", "1",
             "mousemove", "--sync", number(via.x()), number(via.y()), "mousemove", "--sync",
             number(to.x()), number(to.y()), "mouseup", "1"});
}

void pressKeys(const QStringList& keys) {
    xdotool(QStringList{"key"} + keys);
}

namespace {

QList<WindowId> parseWindows(const QByteArray& output) {
    QList<WindowId> windows;
    for (const QString& line : QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts)) {
        windows.append(line.trimmed().toULongLong());
    }
    return windows;
}

}  // namespace

QList<WindowId> visibleWindowsOf(qint64 pid) {
    return parseWindows(
        runCommand("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)}).output);
}

QList<WindowId> visibleWindowsNamed(const QString& pattern) {
    return parseWindows(
        runCommand("xdotool", {"search", "--onlyvisible", "--name", pattern}).output);
}

std::optional<QRect> windowRect(WindowId window) {
    const CommandResult info = runCommand("xwininfo", {"-id", QString::number(window)});
    if (!info.ok()) {
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(info.output);
    auto field = [&text](const QString& name) -> std::optional<int> {
        const QRegularExpressionMatch match =
            QRegularExpression(name + R"(:\s+(-?\d+))").match(text);
        return match.hasMatch() ? std::optional<int>(match.captured(1).toInt()) : std::nullopt;
    };
    const auto x = field("Absolute upper-left X");
    const auto y = field("Absolute upper-left Y");
    const auto w = field("Width");
    const auto h = field("Height");
    if (!x || !y || !w || !h) {
        return std::nullopt;
    }
    return QRect(*x, *y, *w, *h);
}

void activate(WindowId window) {
    xdotool({"windowactivate", "--sync", QString::number(window)});
}

QImage grabScreen(const QRect& area) {
    // `import` reads the root window's pixels as they are on the X server, overlays and all.
    const CommandResult shot = runCommand(
        "import",
        {"-window", "root", "-crop",
         QString("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y()),
         "+repage", "png:-"});
    QImage image;
    image.loadFromData(shot.output, "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

QString selectionText(QClipboard::Mode mode) {
    return QGuiApplication::clipboard()->text(mode);
}

int colorDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

bool isOutlineRed(QRgb pixel) {
    return qRed(pixel) > 180 && qGreen(pixel) < 110 && qBlue(pixel) < 110;
}

int luminance(QRgb pixel) {
    return qGray(pixel);
}

}  // namespace vantorel::e2e
