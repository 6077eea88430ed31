#include "app/alarmjournal.h"

#include "bus/commands.h"
#include "bus/controllerstates.h"
#include "remote/discovery.h"

#include <systemd/sd-journal.h>

#include <sys/uio.h>
#include <syslog.h>

namespace {
void sendToJournal(const AlarmJournal::Entry &entry)
{
    QVector<iovec> fields;
    fields.reserve(entry.size());
    for (const QByteArray &field : entry)
        fields.append({const_cast<char *>(field.constData()), size_t(field.size())});
    sd_journal_sendv(fields.constData(), fields.size());
}
} // namespace

AlarmJournal::AlarmJournal(QObject *parent, Sink entrySink)
    : QObject(parent)
    , writeEntry(entrySink ? std::move(entrySink) : Sink(sendToJournal))
{
    for (int tongdao = 0; tongdao < ChannelCount; ++tongdao) {
        for (int index = 0; index < DevicesPerChannel; ++index)
            written[tongdao][index] = ControllerStates::instance()->latched(index, tongdao);
    }
    connect(ControllerStates::instance(), &ControllerStates::controllerChanged, this, &AlarmJournal::followController);
    connect(Commands::instance(), &Commands::applied, this, &AlarmJournal::followCommand);
}

void AlarmJournal::followController(int index, int tongdao)
{
    unsigned char &before = written[tongdao][index];
    const unsigned char now = ControllerStates::instance()->latched(index, tongdao);
    write("raised", LOG_CRIT, index, tongdao, now & ~before);
    write("cleared", LOG_NOTICE, index, tongdao, before & ~now);
    before = now;
}

// The clear command acknowledges what the controller raises; the alarm ends with its report.
void AlarmJournal::followCommand(int index, int tongdao, int code)
{
    if (code == Wire::ClearAlarms)
        write("acknowledged", LOG_NOTICE, index, tongdao, ControllerStates::instance()->latched(index, tongdao));
}

void AlarmJournal::write(const char *event, int priority, int index, int tongdao, unsigned char alarmBits)
{
    const QByteArray room = "Control - " + QByteArray::number(index);
    const QByteArray bus = QByteArray::number(tongdao + 1);
    for (const AlarmKind &kind : alarmKinds()) {
        if (!(alarmBits & kind.bits))
            continue;
        writeEntry({"MESSAGE=alarm " + QByteArray(event) + ": bus " + bus + ", " + room + ", " + kind.key,
                    "PRIORITY=" + QByteArray::number(priority), "PANEL_ALARM_EVENT=" + QByteArray(event),
                    "PANEL_BUS=" + bus, "PANEL_CONTROLLER=" + QByteArray::number(index), "PANEL_ROOM=" + room,
                    "PANEL_ALARM_KIND=" + QByteArray(kind.key)});
    }
}
