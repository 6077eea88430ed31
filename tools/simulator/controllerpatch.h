#pragma once

#include "behaviour.h"
#include "controllerstate.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// A set of changes to one controller, written as key=value words:
// behaviour=<name>, alarm=<byte>, delay=<ms> and any field by name.
class ControllerPatch
{
public:
    static std::optional<ControllerPatch> parse(const QStringList &words, QString *error);

    void applyTo(ControllerState &controller) const;
    QString text() const { return m_words.join(QLatin1Char(' ')); }

private:
    struct FieldValue
    {
        ControllerState::Field field;
        int value = 0;
    };

    bool parseWord(const QString &word, QString *error);

    std::optional<Behaviour> m_behaviour;
    std::optional<quint8> m_alarm;
    std::optional<int> m_delayMs;
    QVector<FieldValue> m_fields;
    QStringList m_words;
};
