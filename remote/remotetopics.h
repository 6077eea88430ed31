#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What a remote command can address on a controller, named as in its topics.
enum class Appliance {
    MainLight,
    LightBelt,
    SpotLight,
    Fan,
    Curtain,
    AirConditioner,
    Television,
    ClearAlarms,
};

QString applianceName(Appliance appliance);
bool isDimmable(Appliance appliance);
// The command code of the bus frame that drives it.
int wireCode(Appliance appliance);

struct RemoteCommand
{
    int tongdao = -1;
    int index = -1;
    Appliance appliance = Appliance::Fan;
    // A dimmer level (value 0-100) rather than a switch.
    bool dimming = false;
    // On, or open for the curtain. Clearing alarms has no state.
    bool on = false;
    int value = 0;
};

// Every topic the panel publishes or listens to, under panel/<id>/ and Home Assistant's prefix.
// A controller's topics sit under panel/<id>/<bus>/<controller>/, both counted from 0.
class RemoteTopics
{
public:
    // Anything longer is no command of ours, and is refused before it is looked at.
    static constexpr int MaxPayloadSize = 16;

    explicit RemoteTopics(const QString &panelId);

    QString panelId() const { return id; }
    // online / offline, retained; offline is the broker's Last Will.
    QString status() const;
    static QString homeAssistantStatus();

    QString controller(int tongdao, int index) const;
    QString availability(int tongdao, int index) const;
    QString link(int tongdao, int index) const;
    QString alarm(int tongdao, int index, const QString &kind) const;
    QString state(int tongdao, int index, Appliance appliance) const;
    QString brightnessState(int tongdao, int index, Appliance appliance) const;
    QString temperatureState(int tongdao, int index) const;
    QString command(int tongdao, int index, Appliance appliance) const;
    QString brightnessCommand(int tongdao, int index, Appliance appliance) const;
    QString discovery(int tongdao, int index) const;
    // The controller's part of every unique id: <id>_c<bus>d<controller>.
    QString deviceKey(int tongdao, int index) const;

    QStringList commandFilters() const;

    // Strict: a topic and payload that are not exactly one of ours give nothing.
    std::optional<RemoteCommand> parseCommand(const QString &topic, const QByteArray &payload) const;

private:
    QString id;
};
