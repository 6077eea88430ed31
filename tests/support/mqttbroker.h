#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A Mosquitto broker of the test's own, listening on a Unix socket in a temporary folder only. It
// runs under a time limit and is stopped by its process id. The client programs talk to it the way
// a remote peer would.
class MqttBroker
{
public:
    MqttBroker();
    ~MqttBroker();
    MqttBroker(const MqttBroker &) = delete;
    MqttBroker &operator=(const MqttBroker &) = delete;

    // Starts it and waits for its socket; false when it did not come up.
    bool start();
    void stop();
    QString socketPath() const;

    // The message retained on the topic, or empty when there is none.
    QByteArray retained(const QString &topic) const;
    bool publish(const QString &topic, const QByteArray &payload, bool retain = false) const;

private:
    QTemporaryDir folder;
    QProcess broker;
};
