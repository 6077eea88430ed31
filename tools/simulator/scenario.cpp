#include "scenario.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int Channels = 4;
constexpr int ControllersPerChannel = 4;

std::optional<int> parseSlot(const QString &text, int count)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value >= count)
        return std::nullopt;
    return value;
}

} // namespace

bool Scenario::parse(const QString &text, QString *error)
{
    Scenario parsed = *this;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString lineError;
        if (!parsed.addLine(lines.at(i), &lineError)) {
            *error = QStringLiteral("line %1: %2").arg(i + 1).arg(lineError);
            return false;
        }
    }
    *this = parsed;
    return true;
}

bool Scenario::parseFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (!parse(QString::fromUtf8(file.readAll()), error)) {
        error->prepend(path + QLatin1String(", "));
        return false;
    }
    return true;
}

bool Scenario::addLine(const QString &line, QString *error)
{
    const QString content = line.section(QLatin1Char('#'), 0, 0);
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    return addWords(content.split(spaces, Qt::SkipEmptyParts), error);
}

bool Scenario::addWords(QStringList words, QString *error)
{
    if (words.isEmpty())
        return true;
    const QString keyword = words.takeFirst();
    if (keyword == QLatin1String("seed")) {
        bool ok = false;
        const quint32 seed = words.value(0).toUInt(&ok, 0);
        if (!ok || words.size() != 1) {
            *error = QStringLiteral("seed takes one number");
            return false;
        }
        m_seed = seed;
        return true;
    }
    if (keyword == QLatin1String("controller")) {
        const auto entry = parseEntry(words, 0, error);
        if (entry)
            m_controllers.append(*entry);
        return entry.has_value();
    }
    if (keyword == QLatin1String("at")) {
        bool ok = false;
        const double seconds = words.value(0).toDouble(&ok);
        if (!ok || seconds < 0) {
            *error = QStringLiteral("at needs a time in seconds, got \"%1\"").arg(words.value(0));
            return false;
        }
        const auto entry = parseEntry(words.mid(1), seconds, error);
        if (entry)
            m_events.append(*entry);
        return entry.has_value();
    }
    *error = QStringLiteral("unknown keyword \"%1\" (controller, at, seed)").arg(keyword);
    return false;
}

std::optional<Scenario::Entry> Scenario::parseEntry(const QStringList &words, double atSeconds, QString *error) const
{
    if (words.size() < 2) {
        *error = QStringLiteral("expected <channel> <index> [key=value ...]");
        return std::nullopt;
    }
    const auto channel = parseSlot(words.at(0), Channels);
    const auto index = parseSlot(words.at(1), ControllersPerChannel);
    if (!channel || !index) {
        *error = QStringLiteral("channel and index run from 0 to 3, got \"%1 %2\"").arg(words.at(0), words.at(1));
        return std::nullopt;
    }
    const auto patch = ControllerPatch::parse(words.mid(2), error);
    if (!patch)
        return std::nullopt;
    return Entry{atSeconds, *channel, *index, *patch};
}

QVector<Scenario::Entry> Scenario::events() const
{
    QVector<Entry> ordered = m_events;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Entry &a, const Entry &b) { return a.atSeconds < b.atSeconds; });
    return ordered;
}
