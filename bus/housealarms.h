#pragma once

#include "bus/smalldevinfo.h"

#include <QObject>
#include <QStringList>
#include <QVector>

// Which controllers are in alarm, house-wide. The bus control screen shows one channel at a time and
// the dashboard one controller, so every screen that must never let an alarm out of sight reads it
// here and hears when it changes.
//
// An alarm latches: once a controller reports it, it stays until a good reply of that controller
// reports it clear. Silence, a garbled reply or a lost port say nothing about the smoke in a room (a
// fire that burns the bus cable is exactly that), so they only mark the controller as not answering.
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
        // The controller has not answered since: the alarm is the last it reported.
        bool silent;
    };

    static HouseAlarms *instance();

    // A good reply (short or full): its alarm byte is what the controller reports now.
    void report(int index, int tongdao, unsigned char alarmBits);
    // The controller was judged disconnected: its alarms stay, marked.
    void markSilent(int index, int tongdao);

    unsigned char latched(int index, int tongdao) const;
    // Judged disconnected, and no good reply since.
    bool isSilent(int index, int tongdao) const;
    bool channelInAlarm(int tongdao) const;
    // Channel by channel, controller by controller.
    QVector<Raised> raised() const;
    // Back to no alarm anywhere, as at start-up.
    void reset();

signals:
    // Something shown changed: an alarm raised or cleared, or the mark of a controller in alarm.
    void changed();
    // Anything of this controller changed, its answering included.
    void controllerChanged(int index, int tongdao);

private:
    explicit HouseAlarms(QObject *parent = nullptr);

    struct Controller
    {
        unsigned char alarmBits = 0;
        bool silent = false;
    };
    void set(int index, int tongdao, Controller now);

    Controller controllers[ChannelCount][DevicesPerChannel];
};

// The captions of the alarms raised in an alarm byte, in the order every screen shows them.
QStringList alarmCaptions(unsigned char alarmBits);
// As alarmCaptions, and "其他" for the bits without a caption of their own: a list of alarms names
// a kind for every one.
QStringList alarmKinds(unsigned char alarmBits);

// One line of a list of alarms: "通道3  Control - 1  烟", with "断线" after it while the controller
// does not answer.
QString alarmLine(const HouseAlarms::Raised &alarm);
