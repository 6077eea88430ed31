#pragma once

#include "wire/smalldevinfo.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// One simulator process per bus, so that each bus can fail and come back on its own. Only its
// channel's link is used; stopping it closes that pseudo-terminal's far end.
class SimulatedBus
{
public:
    // controllers: "--controller" lines without the channel; options: more simulator arguments.
    SimulatedBus(int channel, const QStringList &controllers, const QStringList &options = QStringList());
    ~SimulatedBus();

    QString devicePath() const;
    qint64 pid() const { return process.processId(); }

    bool start();
    void stop();

    QString logPath() const;
    // Lines of the frame log with this kind ("rx", "tx", "junk", "collision") on the bus's channel.
    QStringList logLines(const char *kind) const;
    int pollsReceived() const;

private:
    int channel;
    QStringList controllers;
    QStringList options;
    QTemporaryDir dir;
    QProcess process;
};
