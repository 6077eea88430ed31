#include "simulatedbus.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {
const char *const deviceNames[ChannelCount] = {"ttyS2", "ttyS4", "ttyS5", "ttyS7"};
}

SimulatedBus::SimulatedBus(int busChannel, const QStringList &busControllers, const QStringList &simOptions)
    : channel(busChannel)
    , controllers(busControllers)
    , options(simOptions)
{
}

SimulatedBus::~SimulatedBus()
{
    stop();
}

QString SimulatedBus::devicePath() const
{
    return dir.filePath(QLatin1String(deviceNames[channel]));
}

bool SimulatedBus::start()
{
    if (!dir.isValid())
        return false;
    QStringList arguments{QStringLiteral("--links"), dir.path(),
                          QStringLiteral("--log"),   logPath(),
                          QStringLiteral("--seed"),  QString::number(7 + channel)};
    for (const QString &controller : controllers)
        arguments << QStringLiteral("--controller") << QStringLiteral("%1 %2").arg(channel).arg(controller);
    process.setProgram(QStringLiteral(CONTROLLER_SIM));
    process.setArguments(arguments + options);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    if (!process.waitForStarted(5000))
        return false;
    // The links come last: once the channel's is there, the far end is ready.
    QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(devicePath()) && !deadline.hasExpired())
        QTest::qWait(10);
    return QFileInfo::exists(devicePath());
}

void SimulatedBus::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(5000);
}

QString SimulatedBus::logPath() const
{
    return dir.filePath(QStringLiteral("frames.log"));
}

QStringList SimulatedBus::logLines(const char *kind) const
{
    QFile file(logPath());
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    const QString tag = QStringLiteral(" ch%1 %2 ").arg(channel).arg(QLatin1String(kind));
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.contains(tag.toLatin1()))
            lines << QString::fromLatin1(line);
    }
    return lines;
}

int SimulatedBus::pollsReceived() const
{
    return logLines("rx").filter(QStringLiteral("AA 43 58")).size();
}
