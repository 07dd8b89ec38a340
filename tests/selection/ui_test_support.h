#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace vantorel::testing {

// Sends a left-button mouse event to `widget` as the window system would deliver it.
inline void sendMouse(QWidget* widget, QEvent::Type type, const QPointF& local) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, widget->mapToGlobal(local), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

inline void press(QWidget* widget, const QPointF& at) {
    sendMouse(widget, QEvent::MouseButtonPress, at);
}
inline void moveTo(QWidget* widget, const QPointF& at) {
    sendMouse(widget, QEvent::MouseMove, at);
}
inline void release(QWidget* widget, const QPointF& at) {
    sendMouse(widget, QEvent::MouseButtonRelease, at);
}

// Press, one drag and a release.
inline void dragOn(QWidget* widget, const QPointF& from, const QPointF& to) {
    press(widget, from);
    moveTo(widget, to);
    release(widget, to);
}

// Runs the event loop until `done` holds, checked each time the loop has run out of events, or
// until `ceilingMs` has passed. The ceiling only keeps a broken run from hanging; tests assert
// on `done`, never on time.
inline bool runUntil(const std::function<bool()>& done, int ceilingMs = 20000) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &loop, [&] {
                         if (done()) {
                             loop.quit();
                         }
                     });
    QTimer::singleShot(ceilingMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Deletes what deleteLater() left behind.
inline void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Runs an X client tool to completion.
inline int runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitCode();
}

}  // namespace vantorel::testing
