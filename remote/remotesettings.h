#pragma once

#include <QByteArray>
#include <QString>

// Where the panel finds its local broker and what it calls itself there.
//
// The panel reaches no network: it talks to a broker on this board through a Unix socket, by default
// /run/panel-mqtt/mqtt.sock (PANEL_MQTT_SOCKET overrides it), and that broker's bridge carries the
// topics on. Its id is derived from /etc/machine-id, so it stays the same across reinstalls of the
// panel (PANEL_REMOTE_ID overrides it).
namespace RemoteSettings {

QString socketPath();
// Unless PANEL_MQTT_SOCKET is set empty. A broker that is absent costs a quiet retry now and then,
// and one installed or started later is found without restarting the panel.
bool isWanted();
QString panelId();
// Twelve hex digits keyed from the machine id: the machine id itself is not to be published.
QString idFromMachineId(const QByteArray &machineId);

} // namespace RemoteSettings
