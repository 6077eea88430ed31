#pragma once

#include "controllerpatch.h"

#include <QString>
#include <QVector>

#include <optional>

// What the simulated controllers do: who is present from the start and what changes when.
//
//   controller <ch> <idx> [key=value ...]      present from the start
//   at <seconds> <ch> <idx> [key=value ...]    change (or add) a controller later
//   seed <n>                                   seed of the random behaviours
//   # comment
class Scenario
{
public:
    struct Entry
    {
        double atSeconds = 0; // 0 for controllers present from the start
        int channel = 0;
        int index = 0;
        ControllerPatch patch;
    };

    // Appends the lines of text; on failure says which line and why, and keeps nothing of it.
    bool parse(const QString &text, QString *error);
    bool parseFile(const QString &path, QString *error);
    bool addLine(const QString &line, QString *error);

    const QVector<Entry> &controllers() const { return m_controllers; }
    // Ordered by time; events with equal times keep their order in the text.
    QVector<Entry> events() const;
    std::optional<quint32> seed() const { return m_seed; }

private:
    bool addWords(QStringList words, QString *error);
    std::optional<Entry> parseEntry(const QStringList &words, double atSeconds, QString *error) const;

    QVector<Entry> m_controllers;
    QVector<Entry> m_events;
    std::optional<quint32> m_seed;
};
