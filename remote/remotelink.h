#pragma once

#include "remote/remotetopics.h"
#include "wire/smalldevinfo.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

struct mosquitto;
struct mosquitto_message;
typedef struct mqtt5__property mosquitto_property;
class QSocketNotifier;
class QTimer;

// The panel's MQTT client: publishes what every controller reports and takes commands for them,
// through the local broker on a Unix socket. Runs on the GUI thread's event loop and never blocks
// it: the broker is on the same board, so a connect either succeeds or fails at once, and it is
// tried again quietly, later and later, while the broker is absent.
//
// Commands take the touch screen's path (Commands), with its refusals, at most a few per second
// per controller. A retained command is never obeyed: the broker would hand it out again at every
// reconnect, long after anyone meant it.
class RemoteLink : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteLink)

public:
    // What arrived and was not obeyed.
    struct Counters
    {
        int retainedDropped = 0;
        int rejected = 0;
        int rateLimited = 0;
        int refused = 0;
    };

    static constexpr int CommandsPerSecond = 4;

    RemoteLink(const QString &socketPath, const QString &panelId, QObject *parent = nullptr);
    ~RemoteLink() override;

    void start();
    bool isConnected() const { return connected; }
    Counters counters() const { return counted; }
    const RemoteTopics &topics() const { return names; }

signals:
    void connectedChanged(bool connected);

private:
    static void onConnect(mosquitto *client, void *link, int result, int flags, const mosquitto_property *properties);
    static void onDisconnect(mosquitto *client, void *link, int result, const mosquitto_property *properties);
    static void onMessage(mosquitto *client, void *link, const mosquitto_message *message,
                          const mosquitto_property *properties);

    void tryConnect();
    void scheduleReconnect();
    void watchSocket();
    void forgetSocket();
    void readSocket();
    void writeSocket();
    void keepAlive();
    void followLoopResult(int result);
    void updateWriteInterest();
    void handleConnected();
    void handleLost();

    void subscribe();
    void publishAll();
    void publishController(int index, int tongdao);
    void publishRecord(int index, int tongdao);
    void republishDiscoverySoon();
    void publish(const QString &topic, const QByteArray &payload);
    void publishResult(const RemoteCommand &command, const QByteArray &result);

    void receive(const QString &topic, const QByteArray &payload, bool retained);
    void execute(const RemoteCommand &command);
    bool withinRate(int tongdao, int index);

    QString brokerSocket;
    RemoteTopics names;
    mosquitto *client = nullptr;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QTimer *reconnectTimer = nullptr;
    QTimer *keepAliveTimer = nullptr;
    QTimer *discoveryTimer = nullptr;
    int reconnectDelayMs = 0;
    bool connected = false;
    // What each topic last carried on this connection: a state is published only when it changes.
    QHash<QString, QByteArray> published;
    bool answered[ChannelCount][DevicesPerChannel] = {};

    struct RateWindow
    {
        qint64 startMs = -1;
        int commands = 0;
    };
    RateWindow rates[ChannelCount][DevicesPerChannel];
    QElapsedTimer clock;
    Counters counted;
};
