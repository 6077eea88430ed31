#include "remote/remotesettings.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>

namespace {
const char *const SocketVariable = "PANEL_MQTT_SOCKET";
const char *const IdVariable = "PANEL_REMOTE_ID";
} // namespace

namespace RemoteSettings {

QString socketPath()
{
    const QString configured = qEnvironmentVariable(SocketVariable);
    return configured.isEmpty() ? QStringLiteral("/run/panel-mqtt/mqtt.sock") : configured;
}

bool isWanted()
{
    return !qEnvironmentVariableIsSet(SocketVariable) || !qEnvironmentVariableIsEmpty(SocketVariable);
}

QString idFromMachineId(const QByteArray &machineId)
{
    const QByteArray mac = QMessageAuthenticationCode::hash(machineId.trimmed(), QByteArrayLiteral("panel-remote-link"),
                                                            QCryptographicHash::Sha256);
    return QString::fromLatin1(mac.toHex().left(12));
}

QString panelId()
{
    // It is one topic level: a separator or a wildcard in it would address someone else's topics.
    const QString configured = qEnvironmentVariable(IdVariable);
    if (!configured.isEmpty() && !configured.contains(QRegularExpression(QStringLiteral("[/+#]"))))
        return configured;
    QFile machineId(QStringLiteral("/etc/machine-id"));
    if (!machineId.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return idFromMachineId(machineId.readAll());
}

} // namespace RemoteSettings
