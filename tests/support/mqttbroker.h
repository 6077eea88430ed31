#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class MqttSubscription;

// A Mosquitto broker of the test's own, listening on a Unix socket in a temporary folder only, or
// on a free port of the loopback interface when it plays a remote broker. It runs under a time
// limit and is stopped by its process id. The client programs talk to it the way a remote peer
// would.
class MqttBroker
{
public:
    MqttBroker();
    ~MqttBroker();
    MqttBroker(const MqttBroker &) = delete;
    MqttBroker &operator=(const MqttBroker &) = delete;

    // Set before start(). A port of 127.0.0.1 instead of the socket; false when none is free.
    bool listenOnLoopback();
    // Retained messages survive a stop and a start, as on a broker that keeps a store.
    void setPersistent(bool persistent) { keepsStore = persistent; }
    // A bridge to the remote broker, with these connection settings (topics and the like).
    void bridgeTo(const MqttBroker &remote, const QByteArray &settings);

    // Starts it and waits until it takes connections; false when it did not come up. It may be
    // started again after stop(), on the same socket or port.
    bool start();
    void stop();
    QString socketPath() const;
    int port() const { return tcpPort; }

    // The message retained on the topic, or empty when there is none.
    QByteArray retained(const QString &topic) const;
    bool publish(const QString &topic, const QByteArray &payload, bool retain = false) const;
    // One message per payload, all from one client as fast as it can send them.
    bool publishBurst(const QString &topic, const QList<QByteArray> &payloads) const;
    // Every message on the filter from now on, with the time each arrived.
    std::unique_ptr<MqttSubscription> subscribe(const QString &filter) const;

private:
    QStringList clientArguments() const;
    bool takesConnections() const;
    void writeConfiguration();

    QTemporaryDir folder;
    QProcess broker;
    int tcpPort = 0;
    bool keepsStore = false;
    QByteArray bridge;
};

// A mosquitto_sub of its own, under a time limit and stopped by its process id.
class MqttSubscription
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        qint64 arrivedMs = 0; // on clock()
    };

    explicit MqttSubscription(const QStringList &arguments);
    ~MqttSubscription();
    MqttSubscription(const MqttSubscription &) = delete;
    MqttSubscription &operator=(const MqttSubscription &) = delete;

    bool isRunning() const { return client.state() == QProcess::Running; }
    QList<Message> messages();
    // Shared by every subscription, so that arrival times compare with the test's own readings.
    static qint64 clock();

private:
    void read();

    QProcess client;
    QByteArray pending;
    QList<Message> received;
};
