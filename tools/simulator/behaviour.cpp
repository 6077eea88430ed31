#include "behaviour.h"

#include <array>
#include <utility>

namespace {

const std::array<std::pair<Behaviour, const char *>, 11> namedBehaviours{{
    {Behaviour::Full, "full"},
    {Behaviour::Short, "short"},
    {Behaviour::Silent, "silent"},
    {Behaviour::BadChecksum, "badchecksum"},
    {Behaviour::Truncated, "truncated"},
    {Behaviour::WrongIndex, "wrongindex"},
    {Behaviour::Garbage, "garbage"},
    {Behaviour::Split, "split"},
    {Behaviour::Slow, "slow"},
    {Behaviour::Random, "random"},
    {Behaviour::Babble, "babble"},
}};

} // namespace

QString behaviourName(Behaviour behaviour)
{
    for (const auto &[value, name] : namedBehaviours) {
        if (value == behaviour)
            return QString::fromLatin1(name);
    }
    return QString();
}

std::optional<Behaviour> behaviourFromName(const QString &name)
{
    for (const auto &[value, known] : namedBehaviours) {
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

QStringList behaviourNames()
{
    QStringList names;
    for (const auto &entry : namedBehaviours)
        names << QString::fromLatin1(entry.second);
    return names;
}
