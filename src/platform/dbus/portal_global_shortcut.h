#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace vantorel {

// A shortcut as the GlobalShortcuts portal lists it: an id of the program's own, with its
// description and the keys it would like.
struct PortalShortcut {
    QString id;
    QVariantMap options;
};
QDBusArgument& operator<<(QDBusArgument& out, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& in, PortalShortcut& shortcut);

// Super+Shift+R through the desktop portal's GlobalShortcuts interface, where the desktop offers
// it (KDE Plasma, recent GNOME, Hyprland): the desktop owns the key, may ask the user to
// confirm it or let them pick another, and says when it is pressed, whichever window has the
// focus. Without that interface the object stays inert and `vantorel --toggle` bound in the
// desktop's own shortcut settings does the job. Main thread only.
class PortalGlobalShortcut final : public QObject {
    Q_OBJECT

  public:
    static inline const QString kId = "toggle-recording";

    explicit PortalGlobalShortcut(QDBusConnection bus, QObject* parent = nullptr);

    // Asks the portal for a session and binds the shortcut in it; returns at once.
    void bind();
    // Whether the desktop took the shortcut.
    bool bound() const { return step_ == Step::bound; }

  signals:
    void pressed();

  private slots:
    void answered(uint code, const QVariantMap& results);
    void activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                   const QVariantMap& options);

  private:
    enum class Step { idle, creating, binding, bound, unavailable };

    void request(const QString& method, const QVariantList& arguments);
    void unavailable();

    QDBusConnection bus_;
    Step step_ = Step::idle;
    QString session_;
    QString pendingRequest_;
    QString tokenBase_;
    uint requestCount_ = 0;
};

}  // namespace vantorel

Q_DECLARE_METATYPE(vantorel::PortalShortcut)
