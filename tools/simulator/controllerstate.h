#pragma once

#include "behaviour.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// One simulated controller: the 27 data bytes of its full status reply, kept in the
// reply's order, its alarm byte and the way it answers polls.
class ControllerState
{
public:
    static constexpr int DataSize = 27;
    static constexpr int FullReplySize = 31;
    static constexpr int ShortReplySize = 4;
    static constexpr int DefaultDelayMs = 400;

    // A named field: a data byte, or one half of the packed air-conditioner byte.
    struct Field
    {
        int offset = -1;    // into the data bytes; reply byte = offset + 3
        quint8 mask = 0xFF; // bits of the byte the field occupies
        int shift = 0;
    };
    static std::optional<Field> field(const QString &name);
    static QStringList fieldNames();

    quint8 data(int offset) const { return m_data.at(offset); }
    void setData(int offset, quint8 value) { m_data.at(offset) = value; }
    quint8 fieldValue(const Field &field) const;
    void setField(const Field &field, int value);

    quint8 alarm() const { return m_alarm; }
    void setAlarm(quint8 alarm) { m_alarm = alarm; }

    Behaviour behaviour() const { return m_behaviour; }
    void setBehaviour(Behaviour behaviour) { m_behaviour = behaviour; }

    // Gap of a split reply and wait of a slow one.
    int delayMs() const { return m_delayMs; }
    void setDelayMs(int delayMs) { m_delayMs = delayMs; }

    QByteArray fullReply(quint8 index) const;
    static QByteArray shortReply(quint8 index, quint8 alarm);
    static quint8 checksum(const QByteArray &fullReply);

    // A command frame's code, switch and value bytes; false when the code means nothing here.
    bool applyCommand(quint8 code, quint8 switchByte, quint8 value);

private:
    std::array<quint8, DataSize> m_data{};
    quint8 m_alarm = 0;
    Behaviour m_behaviour = Behaviour::Full;
    int m_delayMs = DefaultDelayMs;
};
