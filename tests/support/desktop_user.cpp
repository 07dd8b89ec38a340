#include "desktop_user.h"

#include <QProcess>
#include <QRegularExpression>

#include <algorithm>

namespace vantorel::testing {

std::optional<QByteArray> run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

namespace {

QStringList pointerAt(QPoint where) {
    return {"mousemove", "--sync", QString::number(where.x()), QString::number(where.y())};
}

}  // namespace

void moveMouse(QPoint where) {
    run("xdotool", pointerAt(where));
}

void click(QPoint where, int button) {
    run("xdotool", pointerAt(where) + QStringList{"click", QString::number(button)});
}

void pressKeys(const QStringList& keys) {
    run("xdotool", QStringList{"key"} + keys);
}

void dragOut(const QRect& region) {
    const QPoint end = region.bottomRight() + QPoint(1, 1);
    run("xdotool", pointerAt(region.topLeft()) + QStringList{"mousedown", "1"} +
                       pointerAt((region.topLeft() + end) / 2) + pointerAt(end) +
                       QStringList{"mouseup", "1"});
}

namespace {

QList<WindowId> searchWindows(const QStringList& criteria) {
    QList<WindowId> windows;
    const QByteArray found =
        run("xdotool", QStringList{"search", "--onlyvisible"} + criteria).value_or(QByteArray());
    for (const QByteArray& line : found.split('\n')) {
        if (!line.trimmed().isEmpty()) {
            windows.append(line.trimmed().toULongLong());
        }
    }
    return windows;
}

}  // namespace

QList<WindowId> windowsOfProcess(qint64 pid) {
    return searchWindows({"--pid", QString::number(pid)});
}

std::optional<WindowId> windowTitled(const QString& title) {
    // xdotool matches titles as POSIX extended expressions, which know no escaped spaces.
    QString pattern = "^";
    for (QChar c : title) {
        pattern += QStringLiteral(".^$*+?()[]{}|\\").contains(c) ? QString("\\") + c : QString(c);
    }
    const QList<WindowId> found = searchWindows({"--name", pattern + "$"});
    return found.isEmpty() ? std::nullopt : std::optional(found.first());
}

std::optional<QRect> windowRect(WindowId window) {
    const QString info =
        QString::fromUtf8(run("xwininfo", {"-id", QString::number(window)}).value_or(""));
    const QRegularExpression field(
        R"(Absolute upper-left X:\s+(-?\d+)\s+Absolute upper-left Y:\s+(-?\d+)[\s\S]*)"
        R"(Width:\s+(\d+)\s+Height:\s+(\d+))");
    const QRegularExpressionMatch match = field.match(info);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return QRect(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                 match.captured(4).toInt());
}

void pressKeyIn(WindowId window, const QString& key) {
    run("xdotool", {"windowactivate", "--sync", QString::number(window), "key", key});
}

QImage grabScreen(const QRect& area) {
    // `import` reads the root window's pixels as the X server has them, override windows too.
    const QString crop =
        QString("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    QImage image;
    image.loadFromData(
        run("import", {"-window", "root", "-crop", crop, "+repage", "png:-"}).value_or(""), "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

int colorDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

bool isRecordingRed(QRgb pixel) {
    return qRed(pixel) > 180 && qGreen(pixel) < 110 && qBlue(pixel) < 110;
}

int countPixels(const QImage& image, const std::function<bool(int x, int y)>& counted) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += counted(x, y) ? 1 : 0;
        }
    }
    return count;
}

}  // namespace vantorel::testing
