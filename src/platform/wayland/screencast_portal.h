#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <optional>

#include "platform/error.h"

namespace vantorel {

// What the desktop shares once the user has allowed it: a PipeWire remote and the one stream of
// the monitor it chose.
struct SharedMonitor {
    QDBusUnixFileDescriptor remote;  // the PipeWire connection for this session
    uint32_t node = 0;               // the stream's PipeWire node
    // Where the monitor lies in the desktop's layout and its size there (logical pixels), as the
    // portal says. Some portal back ends report no position, or (0, 0) for every monitor.
    std::optional<QPoint> position;
    QSize size;
    // Hands the same consent to the next session without asking the user again.
    QString restoreToken;
};

// The desktop portal's screen-sharing service (org.freedesktop.portal.ScreenCast) for one
// recording: a session that shares one monitor, chosen by the desktop or its dialog.
//
// Every call goes through the portal's request objects, whose Response signals arrive on the
// main thread's event loop; nothing here waits. Main thread only.
class ScreenCastPortal final : public QObject {
    Q_OBJECT

  public:
    explicit ScreenCastPortal(QDBusConnection bus, QObject* parent = nullptr);
    // Closes the session: the desktop stops sharing.
    ~ScreenCastPortal() override;

    // Asks to share a monitor, with the pointer drawn into the frames or not. `restoreToken`
    // from an earlier session lets the desktop skip its dialog; an empty or stale token means
    // the dialog is shown. Answers shared() or refused()/failed(), once.
    void share(bool showCursor, const QString& restoreToken);
    // Ends the session. Safe to call more than once.
    void close();

  signals:
    void shared(const vantorel::SharedMonitor& monitor);
    // The user, or the desktop for them, did not allow it; or there is no such service.
    void refused(const vantorel::Error& error);
    void failed(const vantorel::Error& error);
    // The desktop ended the session while it was in use.
    void ended();

  private slots:
    void answered(uint code, const QVariantMap& results);
    void sessionClosed(const QVariantMap& details);

  private:
    enum class Step { idle, creating, selecting, starting, running, closed };

    // Calls `method` of the ScreenCast interface with a request token; the Response arrives
    // at answered(), a failed call at refuse().
    void request(const QString& method, const QVariantList& arguments, QVariantMap options);
    QString nextToken();
    void select();
    void start();
    void openRemote(const QVariantMap& results);
    void refuse(const QString& detail);
    void fail(const QString& detail);

    QDBusConnection bus_;
    Step step_ = Step::idle;
    bool showCursor_ = true;
    QString restoreToken_;
    QString session_;
    QString pendingRequest_;
    const quint32 tokenBase_;
    uint requestCount_ = 0;
};

}  // namespace vantorel

Q_DECLARE_METATYPE(vantorel::SharedMonitor)
