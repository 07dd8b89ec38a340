#include "platform/dbus/instance_commands.h"

#include <QDBusMessage>

#include <algorithm>
#include <iterator>

namespace vantorel {

namespace {

struct CommandName {
    InstanceCommands::Command command;
    const char* option;
    const char* method;
};

constexpr CommandName kCommands[] = {
    {InstanceCommands::Command::toggle, "--toggle", "Toggle"},
    {InstanceCommands::Command::startSelection, "--start-selection", "StartSelection"},
    {InstanceCommands::Command::stop, "--stop", "Stop"},
};

}  // namespace

InstanceCommands::InstanceCommands(QDBusConnection connection, QObject* parent)
    : QObject(parent), connection_(std::move(connection)) {
    connection_.registerObject(kPath, this, QDBusConnection::ExportAllSlots);
}

InstanceCommands::~InstanceCommands() {
    connection_.unregisterObject(kPath);
}

std::optional<InstanceCommands::Command> InstanceCommands::parse(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        for (const CommandName& name : kCommands) {
            if (argument == QLatin1String(name.option)) {
                return name.command;
            }
        }
    }
    return std::nullopt;
}

std::optional<QString> InstanceCommands::send(const QDBusConnection& bus, const QString& name,
                                              Command command) {
    const auto* entry =
        std::find_if(std::begin(kCommands), std::end(kCommands),
                     [command](const CommandName& n) { return n.command == command; });
    const QDBusMessage reply = QDBusConnection(bus).call(QDBusMessage::createMethodCall(
        name, kPath, "org.vantorel.Vantorel", QLatin1String(entry->method)));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        return reply.errorMessage();
    }
    return std::nullopt;
}

}  // namespace vantorel
