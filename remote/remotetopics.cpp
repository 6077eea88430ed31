#include "remote/remotetopics.h"

#include "wire/smalldevinfo.h"
#include "wire/wire.h"

#include <QVector>

namespace {
struct ApplianceEntry
{
    Appliance appliance;
    const char *name;
    Wire::CommandCode code;
};

constexpr ApplianceEntry appliances[] = {
    {Appliance::MainLight, "main_light", Wire::MainLight},
    {Appliance::LightBelt, "light_belt", Wire::LightBelt},
    {Appliance::SpotLight, "spot_light", Wire::SpotLight},
    {Appliance::Fan, "fan", Wire::Fan},
    {Appliance::Curtain, "curtain", Wire::Curtain},
    {Appliance::AirConditioner, "air_conditioner", Wire::AirConditioner},
    {Appliance::Television, "television", Wire::Television},
    {Appliance::ClearAlarms, "clear_alarms", Wire::ClearAlarms},
};

const ApplianceEntry &entryOf(Appliance appliance)
{
    for (const ApplianceEntry &entry : appliances) {
        if (entry.appliance == appliance)
            return entry;
    }
    return appliances[0];
}

std::optional<Appliance> applianceNamed(const QString &name)
{
    for (const ApplianceEntry &entry : appliances) {
        if (name == QLatin1String(entry.name))
            return entry.appliance;
    }
    return std::nullopt;
}

// One decimal digit in range, and nothing else: "01", "+1" and " 1" are no bus.
int digitIn(const QString &part, int count)
{
    if (part.size() != 1 || part[0] < QLatin1Char('0') || part[0] > QLatin1Char('9'))
        return -1;
    const int value = part[0].digitValue();
    return value < count ? value : -1;
}

// 0 to 100 in plain digits.
std::optional<int> percent(const QByteArray &payload)
{
    if (payload.isEmpty() || payload.size() > 3)
        return std::nullopt;
    for (const char c : payload) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    const int value = payload.toInt();
    return value <= 100 ? std::optional<int>(value) : std::nullopt;
}

// The word a switch of this appliance takes for on and for off.
std::optional<bool> switchWord(Appliance appliance, const QByteArray &payload)
{
    if (appliance == Appliance::ClearAlarms)
        return payload == "PRESS" ? std::optional<bool>(true) : std::nullopt;
    const bool curtain = appliance == Appliance::Curtain;
    if (payload == (curtain ? "OPEN" : "ON"))
        return true;
    if (payload == (curtain ? "CLOSE" : "OFF"))
        return false;
    return std::nullopt;
}
} // namespace

QString applianceName(Appliance appliance)
{
    return QLatin1String(entryOf(appliance).name);
}

bool isDimmable(Appliance appliance)
{
    return appliance == Appliance::MainLight || appliance == Appliance::LightBelt || appliance == Appliance::SpotLight;
}

int wireCode(Appliance appliance)
{
    return entryOf(appliance).code;
}

RemoteTopics::RemoteTopics(const QString &panelId)
    : id(panelId)
{
}

QString RemoteTopics::status() const
{
    return QStringLiteral("panel/%1/status").arg(id);
}

QString RemoteTopics::homeAssistantStatus()
{
    return QStringLiteral("homeassistant/status");
}

QString RemoteTopics::controller(int tongdao, int index) const
{
    return QStringLiteral("panel/%1/%2/%3").arg(id).arg(tongdao).arg(index);
}

QString RemoteTopics::availability(int tongdao, int index) const
{
    return controller(tongdao, index) + QStringLiteral("/availability");
}

QString RemoteTopics::link(int tongdao, int index) const
{
    return controller(tongdao, index) + QStringLiteral("/link");
}

QString RemoteTopics::alarm(int tongdao, int index, const QString &kind) const
{
    return controller(tongdao, index) + QStringLiteral("/alarm/") + kind;
}

QString RemoteTopics::state(int tongdao, int index, Appliance appliance) const
{
    return controller(tongdao, index) + QLatin1Char('/') + applianceName(appliance) + QStringLiteral("/state");
}

QString RemoteTopics::brightnessState(int tongdao, int index, Appliance appliance) const
{
    return controller(tongdao, index) + QLatin1Char('/') + applianceName(appliance) + QStringLiteral("/brightness");
}

QString RemoteTopics::temperatureState(int tongdao, int index) const
{
    return controller(tongdao, index) + QStringLiteral("/air_conditioner/temperature");
}

QString RemoteTopics::command(int tongdao, int index, Appliance appliance) const
{
    return controller(tongdao, index) + QLatin1Char('/') + applianceName(appliance) + QStringLiteral("/set");
}

QString RemoteTopics::brightnessCommand(int tongdao, int index, Appliance appliance) const
{
    return controller(tongdao, index) + QLatin1Char('/') + applianceName(appliance) + QStringLiteral("/brightness/set");
}

QString RemoteTopics::discovery(int tongdao, int index) const
{
    return QStringLiteral("homeassistant/device/%1/config").arg(deviceKey(tongdao, index));
}

QString RemoteTopics::deviceKey(int tongdao, int index) const
{
    return QStringLiteral("%1_c%2d%3").arg(id).arg(tongdao).arg(index);
}

QStringList RemoteTopics::commandFilters() const
{
    return {QStringLiteral("panel/%1/+/+/+/set").arg(id), QStringLiteral("panel/%1/+/+/+/brightness/set").arg(id)};
}

std::optional<RemoteCommand> RemoteTopics::parseCommand(const QString &topic, const QByteArray &payload) const
{
    if (payload.size() > MaxPayloadSize)
        return std::nullopt;
    const QStringList parts = topic.split(QLatin1Char('/'));
    const bool dimming = parts.size() == 7;
    if ((parts.size() != 6 && !dimming) || parts[0] != QLatin1String("panel") || parts[1] != id
        || parts.last() != QLatin1String("set") || (dimming && parts[5] != QLatin1String("brightness")))
        return std::nullopt;

    RemoteCommand command;
    command.tongdao = digitIn(parts[2], ChannelCount);
    command.index = digitIn(parts[3], DevicesPerChannel);
    const std::optional<Appliance> appliance = applianceNamed(parts[4]);
    if (command.tongdao < 0 || command.index < 0 || !appliance || (dimming && !isDimmable(*appliance)))
        return std::nullopt;
    command.appliance = *appliance;
    command.dimming = dimming;

    if (dimming) {
        const std::optional<int> level = percent(payload);
        if (!level)
            return std::nullopt;
        command.value = *level;
        return command;
    }
    const std::optional<bool> on = switchWord(command.appliance, payload);
    if (!on)
        return std::nullopt;
    command.on = *on;
    return command;
}
