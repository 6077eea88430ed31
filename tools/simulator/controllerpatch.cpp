#include "controllerpatch.h"

namespace {

std::optional<int> parseNumber(const QString &text, int maximum)
{
    bool ok = false;
    const int value = text.toInt(&ok, 0); // base 0 takes 0x.. as hexadecimal
    if (!ok || value < 0 || value > maximum)
        return std::nullopt;
    return value;
}

constexpr int MaxDelayMs = 60000;

} // namespace

std::optional<ControllerPatch> ControllerPatch::parse(const QStringList &words, QString *error)
{
    ControllerPatch patch;
    for (const QString &word : words) {
        if (!patch.parseWord(word, error))
            return std::nullopt;
    }
    patch.m_words = words;
    return patch;
}

bool ControllerPatch::parseWord(const QString &word, QString *error)
{
    const int equals = word.indexOf(QLatin1Char('='));
    if (equals <= 0) {
        *error = QStringLiteral("expected key=value, got \"%1\"").arg(word);
        return false;
    }
    const QString key = word.left(equals);
    const QString value = word.mid(equals + 1);

    if (key == QLatin1String("behaviour") || key == QLatin1String("behavior")) {
        m_behaviour = behaviourFromName(value);
        if (!m_behaviour)
            *error = QStringLiteral("unknown behaviour \"%1\" (one of %2)")
                         .arg(value, behaviourNames().join(QLatin1String(", ")));
        return m_behaviour.has_value();
    }
    if (key == QLatin1String("alarm")) {
        const auto alarm = parseNumber(value, 0xFF);
        if (!alarm)
            *error = QStringLiteral("alarm must be a byte, got \"%1\"").arg(value);
        else
            m_alarm = quint8(*alarm);
        return alarm.has_value();
    }
    if (key == QLatin1String("delay")) {
        m_delayMs = parseNumber(value, MaxDelayMs);
        if (!m_delayMs)
            *error = QStringLiteral("delay must be 0 to %1 ms, got \"%2\"").arg(MaxDelayMs).arg(value);
        return m_delayMs.has_value();
    }
    const auto field = ControllerState::field(key);
    if (!field) {
        *error = QStringLiteral("unknown field \"%1\"").arg(key);
        return false;
    }
    const auto number = parseNumber(value, field->mask >> field->shift);
    if (!number) {
        *error = QStringLiteral("value \"%1\" does not fit %2").arg(value, key);
        return false;
    }
    m_fields.append({*field, *number});
    return true;
}

void ControllerPatch::applyTo(ControllerState &controller) const
{
    if (m_behaviour)
        controller.setBehaviour(*m_behaviour);
    if (m_alarm)
        controller.setAlarm(*m_alarm);
    if (m_delayMs)
        controller.setDelayMs(*m_delayMs);
    for (const FieldValue &entry : m_fields)
        controller.setField(entry.field, entry.value);
}
