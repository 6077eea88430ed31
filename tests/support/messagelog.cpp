#include "messagelog.h"

#include <QtGlobal>

#include <cstdio>

namespace MessageLog {

namespace {
QStringList captured;

void capture(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    captured.append(message);
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}
} // namespace

void install()
{
    qInstallMessageHandler(capture);
}
void clear()
{
    captured.clear();
}
QStringList lines()
{
    return captured;
}
int count(const QString &line)
{
    return captured.count(line);
}

QStringList matching(const QString &prefix)
{
    QStringList found;
    for (const QString &line : captured) {
        if (line.startsWith(prefix))
            found.append(line);
    }
    return found;
}

} // namespace MessageLog
