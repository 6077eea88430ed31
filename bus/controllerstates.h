#pragma once

#include "wire/linkstate.h"
#include "wire/smalldevinfo.h"

#include <QObject>
#include <QStringList>
#include <QVector>

// What every controller last reported, house-wide: its link state, its latched alarms, and whether
// it has been judged at all since start-up. Set once per verdict of the poll cycle; every screen
// (the bus control screen shows one channel at a time, the dashboard one controller) reads it here
// and hears when it changes, so that no alarm is ever out of sight.
//
// An alarm latches: once a controller reports it, it stays until a good reply of that controller
// reports it clear. Silence, a garbled reply or a lost port say nothing about the smoke in a room (a
// fire that burns the bus cable is exactly that), so they only mark the controller as not answering.
class ControllerStates : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ControllerStates)

public:
    struct Raised
    {
        int tongdao;
        int index;
        unsigned char alarmBits;
        // The controller has not answered since: the alarm is the last it reported.
        bool silent;
    };

    static ControllerStates *instance();

    // A verdict of the poll cycle: LinkNormal or LinkAlarm for a good reply (short or full), whose
    // alarm byte is what the controller reports now; LinkOffline when it was judged disconnected, and
    // its alarms stay, marked. A poll under way (LinkRequesting) is no verdict.
    void judge(int index, int tongdao, int state, unsigned char alarmBits);
    // A good reply, and a disconnection: judge() with LinkNormal or LinkAlarm, and with LinkOffline.
    void report(int index, int tongdao, unsigned char alarmBits);
    void markSilent(int index, int tongdao);
    // An accepted full reply is now the controller's record.
    void recordReplaced(int index, int tongdao) { emit recordReported(index, tongdao); }

    // A verdict since start-up; before it the link state says nothing.
    bool isJudged(int index, int tongdao) const;
    int linkState(int index, int tongdao) const;
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
    // Anything of this controller changed, its link state and its answering included.
    void controllerChanged(int index, int tongdao);
    // An accepted full reply is in the controller's record.
    void recordReported(int index, int tongdao);

private:
    explicit ControllerStates(QObject *parent = nullptr);

    struct Controller
    {
        bool judged = false;
        int linkState = LinkOffline;
        // Latched: what the last good reply reported.
        unsigned char alarmBits = 0;
        bool silent = false;

        bool operator==(const Controller &other) const
        {
            return judged == other.judged && linkState == other.linkState && alarmBits == other.alarmBits
                && silent == other.silent;
        }
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
QString alarmLine(const ControllerStates::Raised &alarm);
