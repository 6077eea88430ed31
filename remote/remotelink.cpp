#include "remote/remotelink.h"

#include "bus/commands.h"
#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "remote/discovery.h"

#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <fcntl.h>

namespace {
constexpr int KeepAliveSeconds = 30;
// How often the library's housekeeping (the ping within the keep-alive) runs while connected.
constexpr int HousekeepingMs = 5000;
constexpr int FirstReconnectDelayMs = 1000;
constexpr int LastReconnectDelayMs = 30000;
constexpr int DiscoverySpreadMs = 5000;
constexpr int AtLeastOnce = 1;

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

QByteArray onOff(unsigned char field)
{
    return field ? QByteArrayLiteral("ON") : QByteArrayLiteral("OFF");
}

QByteArray linkName(int index, int tongdao)
{
    const ControllerStates *states = ControllerStates::instance();
    if (states->isSilent(index, tongdao))
        return Offline;
    return states->linkState(index, tongdao) == LinkAlarm ? QByteArrayLiteral("alarm") : QByteArrayLiteral("normal");
}

QByteArray resultName(CommandResult result)
{
    switch (result) {
    case CommandResult::Sent:
        return QByteArrayLiteral("sent");
    case CommandResult::Held:
        return QByteArrayLiteral("held");
    case CommandResult::NoPort:
        return QByteArrayLiteral("no_port");
    case CommandResult::NotAnswering:
        return QByteArrayLiteral("not_answering");
    case CommandResult::NoController:
        break;
    }
    return QByteArrayLiteral("no_controller");
}

void initialiseLibraryOnce()
{
    static const bool initialised = mosquitto_lib_init() == MOSQ_ERR_SUCCESS;
    Q_UNUSED(initialised)
}
} // namespace

RemoteLink::RemoteLink(const QString &socketPath, const QString &panelId, QObject *parent)
    : QObject(parent)
    , brokerSocket(socketPath)
    , names(panelId)
    , reconnectTimer(new QTimer(this))
    , keepAliveTimer(new QTimer(this))
    , discoveryTimer(new QTimer(this))
{
    initialiseLibraryOnce();
    clock.start();
    // A clean session: commands queued for a panel that was away are stale by the time it is back.
    client = mosquitto_new(nullptr, true, this);
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_will_set(client, names.status().toUtf8().constData(), Offline.size(), Offline.constData(), AtLeastOnce,
                       true);
    mosquitto_connect_v5_callback_set(client, &RemoteLink::onConnect);
    mosquitto_disconnect_v5_callback_set(client, &RemoteLink::onDisconnect);
    mosquitto_message_v5_callback_set(client, &RemoteLink::onMessage);

    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &QTimer::timeout, this, &RemoteLink::tryConnect);
    keepAliveTimer->setInterval(HousekeepingMs);
    connect(keepAliveTimer, &QTimer::timeout, this, &RemoteLink::keepAlive);
    discoveryTimer->setSingleShot(true);
    connect(discoveryTimer, &QTimer::timeout, this, [this] {
        for (auto topic = published.begin(); topic != published.end();)
            topic = topic.key().startsWith(QLatin1String("homeassistant/")) ? published.erase(topic) : ++topic;
        publishAll();
    });

    const ControllerStates *states = ControllerStates::instance();
    connect(states, &ControllerStates::controllerChanged, this, &RemoteLink::publishController);
    connect(states, &ControllerStates::recordReported, this, &RemoteLink::publishController);
    // A command shows as done at once, from a touch or from here; the next reply says what came of it.
    connect(Commands::instance(), &Commands::applied, this,
            [this](int index, int tongdao) { publishController(index, tongdao); });
    connect(Commands::instance(), &Commands::dropped, this, &RemoteLink::publishController);
}

RemoteLink::~RemoteLink()
{
    forgetSocket();
    mosquitto_destroy(client);
}

void RemoteLink::start()
{
    reconnectDelayMs = FirstReconnectDelayMs;
    tryConnect();
}

// libmosquitto calls back from inside its loop functions, so on this thread.
void RemoteLink::onConnect(mosquitto *, void *link, int result, int, const mosquitto_property *)
{
    auto *self = static_cast<RemoteLink *>(link);
    if (result == 0) {
        self->handleConnected();
        return;
    }
    qWarning("remote link: the broker refused the connection: %s", mosquitto_connack_string(result));
    self->handleLost();
}

void RemoteLink::onDisconnect(mosquitto *, void *link, int, const mosquitto_property *)
{
    static_cast<RemoteLink *>(link)->handleLost();
}

void RemoteLink::onMessage(mosquitto *, void *link, const mosquitto_message *message, const mosquitto_property *)
{
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    static_cast<RemoteLink *>(link)->receive(QString::fromUtf8(message->topic), payload, message->retain);
}

void RemoteLink::tryConnect()
{
    forgetSocket();
    // Port 0 makes the host a Unix socket path.
    const int result = mosquitto_connect_bind_v5(client, brokerSocket.toUtf8().constData(), 0, KeepAliveSeconds,
                                                 nullptr, nullptr);
    if (result != MOSQ_ERR_SUCCESS) {
        scheduleReconnect();
        return;
    }
    watchSocket();
}

void RemoteLink::scheduleReconnect()
{
    if (reconnectTimer->isActive())
        return;
    reconnectTimer->start(reconnectDelayMs);
    reconnectDelayMs = qMin(reconnectDelayMs * 2, LastReconnectDelayMs);
}

void RemoteLink::watchSocket()
{
    const int socket = mosquitto_socket(client);
    // A partial packet must not stall the event loop in read().
    fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
    readNotifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this, &RemoteLink::readSocket);
    writeNotifier = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(writeNotifier, &QSocketNotifier::activated, this, &RemoteLink::writeSocket);
    updateWriteInterest();
}

// The library closes the socket itself; a notifier left on it would watch a reused descriptor.
void RemoteLink::forgetSocket()
{
    for (QSocketNotifier **notifier : {&readNotifier, &writeNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
}

void RemoteLink::readSocket()
{
    followLoopResult(mosquitto_loop_read(client, 1));
}

void RemoteLink::writeSocket()
{
    followLoopResult(mosquitto_loop_write(client, 1));
}

// Pings the broker within the keep-alive and retries what awaits an acknowledgement.
void RemoteLink::keepAlive()
{
    if (readNotifier)
        followLoopResult(mosquitto_loop_misc(client));
}

void RemoteLink::followLoopResult(int result)
{
    if (result != MOSQ_ERR_SUCCESS)
        handleLost();
    else
        updateWriteInterest();
}

void RemoteLink::updateWriteInterest()
{
    if (writeNotifier)
        writeNotifier->setEnabled(mosquitto_want_write(client));
}

void RemoteLink::handleConnected()
{
    reconnectDelayMs = FirstReconnectDelayMs;
    connected = true;
    keepAliveTimer->start();
    published.clear();
    publish(names.status(), Online);
    subscribe();
    publishAll();
    emit connectedChanged(true);
}

void RemoteLink::handleLost()
{
    forgetSocket();
    keepAliveTimer->stop();
    if (connected) {
        qWarning("remote link: lost the broker at %s", qPrintable(brokerSocket));
        connected = false;
        emit connectedChanged(false);
    }
    scheduleReconnect();
}

// Retain as published: a retained command must be seen as one to be dropped, also while subscribed.
void RemoteLink::subscribe()
{
    for (const QString &filter : names.commandFilters())
        mosquitto_subscribe_v5(client, nullptr, filter.toUtf8().constData(), AtLeastOnce,
                               MQTT_SUB_OPT_RETAIN_AS_PUBLISHED, nullptr);
    mosquitto_subscribe_v5(client, nullptr, RemoteTopics::homeAssistantStatus().toUtf8().constData(), AtLeastOnce, 0,
                           nullptr);
}

void RemoteLink::publishAll()
{
    publish(Discovery::panelConfigTopic(names), Discovery::panelConfig(names));
    for (int tongdao = 0; tongdao < ChannelCount; ++tongdao) {
        for (int index = 0; index < DevicesPerChannel; ++index)
            publishController(index, tongdao);
    }
}

// A controller shows up once it has answered: an empty address on a bus is no device.
void RemoteLink::publishController(int index, int tongdao)
{
    if (!isController(index, tongdao))
        return;
    const ControllerStates *states = ControllerStates::instance();
    bool &hasAnswered = answered[tongdao][index];
    hasAnswered = hasAnswered || (states->isJudged(index, tongdao) && !states->isSilent(index, tongdao));
    if (!connected || !hasAnswered)
        return;

    // The configuration never changes while connected; it is made once, not at every reply.
    const QString discovery = names.discovery(tongdao, index);
    if (!published.contains(discovery))
        publish(discovery, Discovery::controllerConfig(names, tongdao, index));
    publish(names.availability(tongdao, index), states->isSilent(index, tongdao) ? Offline : Online);
    publish(names.link(tongdao, index), linkName(index, tongdao));
    const unsigned char alarms = states->latched(index, tongdao);
    for (const AlarmKind &kind : alarmKinds())
        publish(names.alarm(tongdao, index, QLatin1String(kind.key)), onOff(alarms & kind.bits));
    publishRecord(index, tongdao);
}

void RemoteLink::publishRecord(int index, int tongdao)
{
    const SmallDevInfo &record = smallDevInfos[tongdao][index];
    const auto light = [&](Appliance appliance, unsigned char on, unsigned char brightness) {
        publish(names.state(tongdao, index, appliance), onOff(on));
        publish(names.brightnessState(tongdao, index, appliance), QByteArray::number(brightness));
    };
    light(Appliance::MainLight, record.mainOn, record.mainBright);
    light(Appliance::LightBelt, record.lightbeltOn, record.lightbeltBright);
    light(Appliance::SpotLight, record.spotOn, record.spotBright);
    publish(names.state(tongdao, index, Appliance::Fan), onOff(record.windOn));
    publish(names.state(tongdao, index, Appliance::Curtain),
            record.curtainOn ? QByteArrayLiteral("open") : QByteArrayLiteral("closed"));
    publish(names.state(tongdao, index, Appliance::AirConditioner), onOff(record.airOn));
    publish(names.temperatureState(tongdao, index), QByteArray::number(record.airTemp));
    publish(names.state(tongdao, index, Appliance::Television), onOff(record.tvOn));
}

// Home Assistant came back and may have forgotten us; a whole building answering at the same
// instant would flood it, so each panel waits a moment of its own.
void RemoteLink::republishDiscoverySoon()
{
    if (!discoveryTimer->isActive())
        discoveryTimer->start(QRandomGenerator::global()->bounded(DiscoverySpreadMs));
}

void RemoteLink::publish(const QString &topic, const QByteArray &payload)
{
    if (!connected)
        return;
    const auto last = published.constFind(topic);
    if (last != published.cend() && *last == payload)
        return;
    const int result = mosquitto_publish(client, nullptr, topic.toUtf8().constData(), payload.size(),
                                         payload.constData(), AtLeastOnce, true);
    if (result == MOSQ_ERR_SUCCESS)
        published.insert(topic, payload);
    updateWriteInterest();
}

// Not retained: it answers one command, for whoever sent it.
void RemoteLink::publishResult(const RemoteCommand &command, const QByteArray &result)
{
    const QString topic = names.controller(command.tongdao, command.index) + QLatin1Char('/')
        + applianceName(command.appliance) + QStringLiteral("/result");
    mosquitto_publish(client, nullptr, topic.toUtf8().constData(), result.size(), result.constData(), 0, false);
    updateWriteInterest();
}

void RemoteLink::receive(const QString &topic, const QByteArray &payload, bool retained)
{
    if (topic == RemoteTopics::homeAssistantStatus()) {
        if (payload == Online)
            republishDiscoverySoon();
        return;
    }
    if (retained) {
        ++counted.retainedDropped;
        qWarning("remote link: dropped a retained command on %s", qPrintable(topic));
        return;
    }
    const std::optional<RemoteCommand> command = names.parseCommand(topic, payload);
    if (!command) {
        ++counted.rejected;
        return;
    }
    execute(*command);
}

void RemoteLink::execute(const RemoteCommand &command)
{
    if (!withinRate(command.tongdao, command.index)) {
        ++counted.rateLimited;
        publishResult(command, QByteArrayLiteral("rate_limited"));
        return;
    }
    Commands *commands = Commands::instance();
    const int code = wireCode(command.appliance);
    CommandResult result;
    if (command.appliance == Appliance::ClearAlarms)
        result = commands->sendValue(command.tongdao, command.index, code, 0);
    else if (command.dimming)
        result = commands->sendValue(command.tongdao, command.index, code, command.value);
    else
        result = commands->sendSwitch(command.tongdao, command.index, code, command.on);
    if (isRefused(result))
        ++counted.refused;
    publishResult(command, resultName(result));
}

bool RemoteLink::withinRate(int tongdao, int index)
{
    RateWindow &window = rates[tongdao][index];
    const qint64 now = clock.elapsed();
    if (window.startMs < 0 || now - window.startMs >= 1000) {
        window.startMs = now;
        window.commands = 0;
    }
    return ++window.commands <= CommandsPerSecond;
}
