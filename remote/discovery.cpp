#include "remote/discovery.h"

#include "wire/linkstate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// CO2 has no class of its own among binary sensors, and carbon_monoxide would page people for the
// wrong gas.
const QVector<AlarmKind> kinds = {
    {"smoke", AlarmSmoke, "smoke", "Smoke"},
    {"gas", AlarmGas, "gas", "Gas"},
    {"co2", AlarmCo2, "safety", "CO2"},
    {"temperature", AlarmTemperature, "heat", "Temperature"},
    {"leakage", AlarmLeakage, "safety", "Leakage"},
    {"other", static_cast<unsigned char>(~(AlarmSmoke | AlarmGas | AlarmCo2 | AlarmTemperature | AlarmLeakage)),
     "problem", "Other alarm"},
};

QJsonObject origin()
{
    return {{QStringLiteral("name"), QStringLiteral("panel")}};
}

QJsonArray availabilityOf(const QStringList &topics)
{
    QJsonArray list;
    for (const QString &topic : topics)
        list.append(QJsonObject{{QStringLiteral("topic"), topic}});
    return list;
}

QJsonObject component(const char *platform, const QString &name, const QString &uniqueId)
{
    return {{QStringLiteral("platform"), QLatin1String(platform)},
            {QStringLiteral("name"), name},
            {QStringLiteral("unique_id"), uniqueId}};
}

// An alarm latches and outlives the controller's silence, so it follows the panel alone: a smoke
// alarm of a controller whose cable burnt must not turn "unavailable".
QJsonObject alarmSensor(const RemoteTopics &topics, int tongdao, int index, const AlarmKind &kind)
{
    QJsonObject sensor = component("binary_sensor", QLatin1String(kind.name),
                                   topics.deviceKey(tongdao, index) + QLatin1Char('_') + QLatin1String(kind.key));
    sensor.insert(QStringLiteral("device_class"), QLatin1String(kind.deviceClass));
    sensor.insert(QStringLiteral("state_topic"), topics.alarm(tongdao, index, QLatin1String(kind.key)));
    sensor.insert(QStringLiteral("availability"), availabilityOf({topics.status()}));
    return sensor;
}

QJsonObject linkSensor(const RemoteTopics &topics, int tongdao, int index)
{
    QJsonObject sensor = component("binary_sensor", QStringLiteral("Link"), topics.deviceKey(tongdao, index) + "_link");
    sensor.insert(QStringLiteral("device_class"), QStringLiteral("connectivity"));
    sensor.insert(QStringLiteral("entity_category"), QStringLiteral("diagnostic"));
    sensor.insert(QStringLiteral("state_topic"), topics.link(tongdao, index));
    sensor.insert(QStringLiteral("value_template"), QStringLiteral("{{ 'OFF' if value == 'offline' else 'ON' }}"));
    sensor.insert(QStringLiteral("availability"), availabilityOf({topics.status()}));
    return sensor;
}

QJsonObject switched(const char *platform, const RemoteTopics &topics, int tongdao, int index, Appliance appliance,
                     const QString &name)
{
    QJsonObject entity = component(platform, name, topics.deviceKey(tongdao, index) + '_' + applianceName(appliance));
    entity.insert(QStringLiteral("command_topic"), topics.command(tongdao, index, appliance));
    entity.insert(QStringLiteral("state_topic"), topics.state(tongdao, index, appliance));
    return entity;
}

QJsonObject light(const RemoteTopics &topics, int tongdao, int index, Appliance appliance, const QString &name)
{
    QJsonObject entity = switched("light", topics, tongdao, index, appliance, name);
    entity.insert(QStringLiteral("brightness_command_topic"), topics.brightnessCommand(tongdao, index, appliance));
    entity.insert(QStringLiteral("brightness_state_topic"), topics.brightnessState(tongdao, index, appliance));
    entity.insert(QStringLiteral("brightness_scale"), 100);
    return entity;
}

QJsonObject curtain(const RemoteTopics &topics, int tongdao, int index)
{
    QJsonObject cover = switched("cover", topics, tongdao, index, Appliance::Curtain, QStringLiteral("Curtain"));
    cover.insert(QStringLiteral("payload_open"), QStringLiteral("OPEN"));
    cover.insert(QStringLiteral("payload_close"), QStringLiteral("CLOSE"));
    // The controller cannot stop a curtain halfway.
    cover.insert(QStringLiteral("payload_stop"), QJsonValue::Null);
    return cover;
}

// The controller takes on and off only; its set temperature is shown, not set.
QJsonObject airConditioner(const RemoteTopics &topics, int tongdao, int index)
{
    QJsonObject climate = component("climate", QStringLiteral("Air conditioner"),
                                    topics.deviceKey(tongdao, index) + '_' + applianceName(Appliance::AirConditioner));
    climate.insert(QStringLiteral("modes"), QJsonArray{QStringLiteral("off"), QStringLiteral("cool")});
    climate.insert(QStringLiteral("mode_command_topic"), topics.command(tongdao, index, Appliance::AirConditioner));
    climate.insert(QStringLiteral("mode_command_template"), QStringLiteral("{{ 'OFF' if value == 'off' else 'ON' }}"));
    climate.insert(QStringLiteral("mode_state_topic"), topics.state(tongdao, index, Appliance::AirConditioner));
    climate.insert(QStringLiteral("mode_state_template"), QStringLiteral("{{ 'cool' if value == 'ON' else 'off' }}"));
    climate.insert(QStringLiteral("temperature_state_topic"), topics.temperatureState(tongdao, index));
    climate.insert(QStringLiteral("temperature_unit"), QStringLiteral("C"));
    climate.insert(QStringLiteral("precision"), 1.0);
    return climate;
}

QJsonObject clearAlarms(const RemoteTopics &topics, int tongdao, int index)
{
    QJsonObject button = component("button", QStringLiteral("Clear alarms"),
                                   topics.deviceKey(tongdao, index) + '_' + applianceName(Appliance::ClearAlarms));
    button.insert(QStringLiteral("command_topic"), topics.command(tongdao, index, Appliance::ClearAlarms));
    button.insert(QStringLiteral("payload_press"), QStringLiteral("PRESS"));
    return button;
}

QJsonObject controllerComponents(const RemoteTopics &topics, int tongdao, int index)
{
    QJsonObject components;
    for (const AlarmKind &kind : kinds)
        components.insert(QLatin1String(kind.key), alarmSensor(topics, tongdao, index, kind));
    components.insert(QStringLiteral("link"), linkSensor(topics, tongdao, index));
    const auto add = [&](Appliance appliance, const QJsonObject &entity) {
        components.insert(applianceName(appliance), entity);
    };
    add(Appliance::MainLight, light(topics, tongdao, index, Appliance::MainLight, QStringLiteral("Main light")));
    add(Appliance::LightBelt, light(topics, tongdao, index, Appliance::LightBelt, QStringLiteral("Light belt")));
    add(Appliance::SpotLight, light(topics, tongdao, index, Appliance::SpotLight, QStringLiteral("Spot light")));
    add(Appliance::Fan, switched("fan", topics, tongdao, index, Appliance::Fan, QStringLiteral("Fan")));
    add(Appliance::Curtain, curtain(topics, tongdao, index));
    add(Appliance::AirConditioner, airConditioner(topics, tongdao, index));
    add(Appliance::Television,
        switched("switch", topics, tongdao, index, Appliance::Television, QStringLiteral("Television")));
    add(Appliance::ClearAlarms, clearAlarms(topics, tongdao, index));
    return components;
}
} // namespace

const QVector<AlarmKind> &alarmKinds()
{
    return kinds;
}

namespace Discovery {

QString panelConfigTopic(const RemoteTopics &topics)
{
    return QStringLiteral("homeassistant/device/%1/config").arg(topics.panelId());
}

QByteArray panelConfig(const RemoteTopics &topics)
{
    QJsonObject connected = component("binary_sensor", QStringLiteral("Connected"), topics.panelId() + "_connected");
    connected.insert(QStringLiteral("device_class"), QStringLiteral("connectivity"));
    connected.insert(QStringLiteral("entity_category"), QStringLiteral("diagnostic"));
    connected.insert(QStringLiteral("state_topic"), topics.status());
    connected.insert(QStringLiteral("payload_on"), QStringLiteral("online"));
    connected.insert(QStringLiteral("payload_off"), QStringLiteral("offline"));
    const QJsonObject config{
        {QStringLiteral("device"),
         QJsonObject{{QStringLiteral("identifiers"), QJsonArray{topics.panelId()}},
                     {QStringLiteral("name"), QStringLiteral("Wall panel %1").arg(topics.panelId())},
                     {QStringLiteral("model"), QStringLiteral("Wall panel")}}},
        {QStringLiteral("origin"), origin()},
        {QStringLiteral("components"), QJsonObject{{QStringLiteral("connected"), connected}}},
    };
    return QJsonDocument(config).toJson(QJsonDocument::Compact);
}

// Appliances need both the panel and the controller: either gone, a command would go nowhere.
QByteArray controllerConfig(const RemoteTopics &topics, int tongdao, int index)
{
    const QJsonObject config{
        {QStringLiteral("device"),
         QJsonObject{{QStringLiteral("identifiers"), QJsonArray{topics.deviceKey(tongdao, index)}},
                     {QStringLiteral("name"), QStringLiteral("通道%1 Control - %2").arg(tongdao + 1).arg(index)},
                     {QStringLiteral("model"), QStringLiteral("Appliance controller")},
                     {QStringLiteral("via_device"), topics.panelId()}}},
        {QStringLiteral("origin"), origin()},
        {QStringLiteral("availability"), availabilityOf({topics.status(), topics.availability(tongdao, index)})},
        {QStringLiteral("availability_mode"), QStringLiteral("all")},
        {QStringLiteral("components"), controllerComponents(topics, tongdao, index)},
    };
    return QJsonDocument(config).toJson(QJsonDocument::Compact);
}

} // namespace Discovery
