#include "controllerstate.h"

#include <utility>
#include <vector>

namespace {

// Data byte offsets in the reply; the curtain sits between the lights and the television here.
enum Offset {
    LightbeltOn = 0,
    LightbeltBright = 1,
    SpotOn = 4,
    SpotBright = 5,
    MainOn = 8,
    MainBright = 9,
    CurtainOn = 12,
    TvOn = 14,
    AirOn = 18,
    AirPacked = 19,
    WindOn = 23,
};

using NamedField = std::pair<const char *, ControllerState::Field>;

const std::vector<NamedField> &fieldTable()
{
    static const std::vector<NamedField> table{
        {"lightbeltOn", {LightbeltOn}},
        {"lightbeltBright", {LightbeltBright}},
        {"lightbeltExt1", {2}},
        {"lightbeltExt2", {3}},
        {"spotOn", {SpotOn}},
        {"spotBright", {SpotBright}},
        {"spotExt1", {6}},
        {"spotExt2", {7}},
        {"mainOn", {MainOn}},
        {"mainBright", {MainBright}},
        {"mainExt1", {10}},
        {"mainExt2", {11}},
        {"curtainOn", {CurtainOn}},
        {"curtainExt", {13}},
        {"tvOn", {TvOn}},
        {"tvBright", {15}},
        {"tvVol", {16}},
        {"tvExt", {17}},
        {"airOn", {AirOn}},
        {"airPacked", {AirPacked}},
        {"airNibbleHi", {AirPacked, 0xF0, 4}},
        {"airNibbleLo", {AirPacked, 0x0F, 0}},
        {"airTemp", {20}},
        {"airSpeed", {21}},
        {"airExt", {22}},
        {"windOn", {WindOn}},
        {"windExt1", {24}},
        {"windExt2", {25}},
        {"windExt3", {26}},
    };
    return table;
}

int onOffOffset(quint8 code)
{
    switch (code) {
    case 4:
        return CurtainOn;
    case 5:
        return TvOn;
    case 6:
        return AirOn;
    case 7:
        return WindOn;
    case 8:
        return LightbeltOn;
    case 9:
        return SpotOn;
    case 10:
        return MainOn;
    default:
        return -1;
    }
}

int brightnessOffset(quint8 code)
{
    switch (code) {
    case 8:
        return LightbeltBright;
    case 9:
        return SpotBright;
    case 10:
        return MainBright;
    default:
        return -1;
    }
}

constexpr quint8 ClearAlarmCode = 0;
constexpr quint8 SwitchOn = 1;
constexpr quint8 SwitchOff = 2;
constexpr quint8 ValueCommand = 0;

} // namespace

std::optional<ControllerState::Field> ControllerState::field(const QString &name)
{
    for (const auto &[known, field] : fieldTable()) {
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return field;
    }
    return std::nullopt;
}

QStringList ControllerState::fieldNames()
{
    QStringList names;
    for (const auto &entry : fieldTable())
        names << QString::fromLatin1(entry.first);
    return names;
}

quint8 ControllerState::fieldValue(const Field &field) const
{
    return quint8((m_data.at(field.offset) & field.mask) >> field.shift);
}

void ControllerState::setField(const Field &field, int value)
{
    quint8 &byte = m_data.at(field.offset);
    byte = quint8((byte & ~field.mask) | ((value << field.shift) & field.mask));
}

QByteArray ControllerState::fullReply(quint8 index) const
{
    QByteArray reply;
    reply.reserve(FullReplySize);
    reply.append(char(0xCC));
    reply.append(char(index));
    reply.append(char(m_alarm));
    for (quint8 byte : m_data)
        reply.append(char(byte));
    reply.append(char(0));
    reply[FullReplySize - 1] = char(checksum(reply));
    return reply;
}

QByteArray ControllerState::shortReply(quint8 index, quint8 alarm)
{
    QByteArray reply(ShortReplySize, char(0));
    reply[0] = char(0xBB);
    reply[1] = char(index);
    reply[2] = char(alarm);
    reply[3] = char(0xFF);
    return reply;
}

quint8 ControllerState::checksum(const QByteArray &fullReply)
{
    quint8 sum = 0;
    for (int i = 1; i < FullReplySize - 1 && i < fullReply.size(); ++i)
        sum += quint8(fullReply.at(i));
    return sum;
}

bool ControllerState::applyCommand(quint8 code, quint8 switchByte, quint8 value)
{
    if (code == ClearAlarmCode) {
        m_alarm = 0;
        return true;
    }
    if (switchByte == ValueCommand) {
        const int offset = brightnessOffset(code);
        if (offset < 0)
            return false;
        m_data.at(offset) = value;
        return true;
    }
    const int offset = onOffOffset(code);
    if (offset < 0 || (switchByte != SwitchOn && switchByte != SwitchOff))
        return false;
    m_data.at(offset) = switchByte == SwitchOn ? 1 : 0;
    return true;
}
