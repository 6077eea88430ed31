#pragma once

#include "wire/smalldevinfo.h"

#include <QByteArrayList>
#include <QObject>

#include <functional>

// The board's alarm history: every alarm raised or cleared by a controller's report, and every
// clearing a person or the remote link asked for, as a structured journal entry:
//
//   journalctl -u panel PANEL_ALARM_EVENT=raised
//
// with PANEL_BUS (1-4, as the screens count), PANEL_CONTROLLER, PANEL_ROOM ("Control - 2") and
// PANEL_ALARM_KIND (smoke, gas, co2, temperature, leakage, other), one entry per kind.
class AlarmJournal : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(AlarmJournal)

public:
    // One entry: "FIELD=value" lines, MESSAGE and PRIORITY among them.
    using Entry = QByteArrayList;
    using Sink = std::function<void(const Entry &)>;

    // Writes to the journal; a sink of its own is for tests.
    explicit AlarmJournal(QObject *parent = nullptr, Sink entrySink = {});

private:
    void followController(int index, int tongdao);
    void followCommand(int index, int tongdao, int code);
    void write(const char *event, int priority, int index, int tongdao, unsigned char alarmBits);

    Sink writeEntry;
    // The latched alarms as last written, to tell what changed.
    unsigned char written[ChannelCount][DevicesPerChannel] = {};
};
