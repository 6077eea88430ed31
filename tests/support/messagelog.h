#pragma once

#include <QStringList>

// Captures Qt's log: the debug lines are part of the panel's behaviour.
namespace MessageLog {

void install();
void clear();
QStringList lines();
int count(const QString &line);
// Lines that start with the given text.
QStringList matching(const QString &prefix);

} // namespace MessageLog
