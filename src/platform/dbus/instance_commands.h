#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

namespace vantorel {

// What `vantorel --toggle`, `--start-selection` and `--stop` ask of the running instance: an
// object on the connection that owns the instance's bus name, so that any key a desktop lets
// users bind to a command reaches the program without a key grab. Main thread only.
class InstanceCommands final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vantorel.Vantorel")

  public:
    enum class Command { toggle, startSelection, stop };

    static inline const QString kPath = "/org/vantorel/Vantorel";

    // Exports the commands on `connection`; inert when that fails (no bus).
    explicit InstanceCommands(QDBusConnection connection, QObject* parent = nullptr);
    ~InstanceCommands() override;

    // The command a command line asks for, if any.
    static std::optional<Command> parse(const QStringList& arguments);
    // Hands `command` to the instance owning `name` on `bus`; the bus's error text when no
    // instance took it.
    static std::optional<QString> send(const QDBusConnection& bus, const QString& name,
                                       Command command);

  public slots:
    // The bus's method names.
    void Toggle() { emit requested(Command::toggle); }
    void StartSelection() { emit requested(Command::startSelection); }
    void Stop() { emit requested(Command::stop); }

  signals:
    void requested(vantorel::InstanceCommands::Command command);

  private:
    QDBusConnection connection_;
};

}  // namespace vantorel
