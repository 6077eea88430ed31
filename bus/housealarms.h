#pragma once

#include "bus/smalldevinfo.h"

#include <QObject>
#include <QStringList>
#include <QVector>

// Which controllers are in alarm, house-wide. The bus control screen shows one channel at a time and
// the dashboard one controller, so the screens that must never let an alarm out of sight (the
// channel buttons, Home) read it here and hear when it changes.
class HouseAlarms : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(HouseAlarms)

public:
    struct Raised
    {
        int tongdao;
        int index;
        unsigned char alarmBits;
    };

    static HouseAlarms *instance();

    // A verdict on a controller: in alarm (with its alarm byte) or not.
    void setVerdict(int index, int tongdao, bool inAlarm, unsigned char alarmBits);
    bool channelInAlarm(int tongdao) const;
    // Channel by channel, controller by controller.
    QVector<Raised> raised() const;
    // Back to no alarm anywhere, as at start-up.
    void reset();

signals:
    void changed();

private:
    explicit HouseAlarms(QObject *parent = nullptr);

    struct Verdict
    {
        bool inAlarm = false;
        unsigned char alarmBits = 0;
    };
    Verdict verdicts[ChannelCount][DevicesPerChannel];
};

// The captions of the alarms raised in an alarm byte, in the order every screen shows them.
QStringList alarmCaptions(unsigned char alarmBits);

// A heading, then one line per alarm ("通道3  Control - 1  烟"); alarms beyond the lines the screen
// has room for are counted instead.
QString alarmListing(const QString &heading, const QVector<HouseAlarms::Raised> &alarms, int shownLines);
