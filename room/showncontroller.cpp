#include "room/showncontroller.h"

#include "app/mainwindow.h"
#include "bus/devicetables.h"
#include "bus/housealarms.h"
#include "bus/serialports.h"
#include "bus/wire.h"
#include "room/devices.h"

#include <QHash>
#include <QSerialPort>
#include <QVector>

namespace {
// What a command changes in the tables when it is shown as done, and what was there before: a held
// frame that never reaches the line is taken back.
struct HeldCommand
{
    int index = -1;
    int tongdao = -1;
    unsigned char *field = nullptr;
    unsigned char before = 0;
    int *lastSent = nullptr;
    int lastSentBefore = 0;

    void takeBack() const
    {
        if (field)
            *field = before;
        if (lastSent)
            *lastSent = lastSentBefore;
    }
};

unsigned char *switchedField(SmallDevInfo &record, int code)
{
    switch (code) {
    case Wire::Curtain:
        return &record.curtainOn;
    case Wire::Television:
        return &record.tvOn;
    case Wire::AirConditioner:
        return &record.airOn;
    case Wire::Fan:
        return &record.windOn;
    case Wire::LightBelt:
        return &record.lightbeltOn;
    case Wire::SpotLight:
        return &record.spotOn;
    case Wire::MainLight:
        return &record.mainOn;
    default:
        return nullptr;
    }
}

unsigned char *dimmedField(SmallDevInfo &record, int code)
{
    switch (code) {
    case Wire::LightBelt:
        return &record.lightbeltBright;
    case Wire::SpotLight:
        return &record.spotBright;
    case Wire::MainLight:
        return &record.mainBright;
    default:
        return nullptr;
    }
}

// Per port, in the order written; a port's frames are held only until its reply is in.
QHash<QSerialPort *, QVector<HeldCommand>> &heldCommands()
{
    static QHash<QSerialPort *, QVector<HeldCommand>> held;
    return held;
}

void takeBackDropped(QSerialPort *port, int droppedCount)
{
    QVector<HeldCommand> held = heldCommands().take(port);
    const int first = qMax(0, held.size() - droppedCount);
    for (int command = held.size() - 1; command >= first; --command)
        held.at(command).takeBack();
    for (int command = first; command < held.size(); ++command)
        Devices::commandDropped(held.at(command).index, held.at(command).tongdao);
}

void followHeldFrames()
{
    static const bool following = [] {
        HeldFrames *frames = HeldFrames::instance();
        QObject::connect(frames, &HeldFrames::released, frames, [](QSerialPort *port) { heldCommands().remove(port); });
        QObject::connect(frames, &HeldFrames::dropped, frames,
                         [](QSerialPort *port, const QVector<QByteArray> &dropped) {
                             takeBackDropped(port, dropped.size());
                         });
        return true;
    }();
    Q_UNUSED(following)
}

// True unless the frame was refused.
bool settle(FrameFate fate, const HeldCommand &command)
{
    if (fate == FrameFate::Held) {
        followHeldFrames();
        heldCommands()[busPort(command.tongdao)].append(command);
    }
    return fate != FrameFate::Refused;
}

// The brightness the lighting screen last sent for a dimmable circuit; nullptr for other codes.
int *lastSentBrightness(int index, int tongdao, int code)
{
    if (code < Wire::LightBelt || code > Wire::MainLight)
        return nullptr;
    return &lightBright[tongdao][index][code - Wire::LightBelt];
}
} // namespace

ShownController ShownController::current()
{
    return {Devices::getIndex(), Devices::getTongdao()};
}

SmallDevInfo &ShownController::record() const
{
    return smallDevInfos[m_tongdao][m_index];
}

bool ShownController::isAnswering() const
{
    return !HouseAlarms::instance()->isSilent(m_index, m_tongdao);
}

bool ShownController::sendSwitch(int code, bool on) const
{
    if (!isAnswering())
        return false;
    HeldCommand command{m_index, m_tongdao};
    if ((command.field = switchedField(record(), code)))
        command.before = *command.field;
    return settle(MainWindow::getInstance()->sendLightOpen(m_tongdao, m_index, code, on), command);
}

bool ShownController::sendValue(int code, int value) const
{
    if (!isAnswering())
        return false;
    HeldCommand command{m_index, m_tongdao};
    if (code == Wire::ClearAlarms)
        command.field = &smallDevBaojingStates[m_tongdao][m_index];
    else if ((command.lastSent = lastSentBrightness(m_index, m_tongdao, code)))
        command.field = dimmedField(record(), code);
    if (command.field)
        command.before = *command.field;
    if (command.lastSent)
        command.lastSentBefore = *command.lastSent;
    return settle(MainWindow::getInstance()->sendLight(m_tongdao, m_index, code, value), command);
}

void ShownController::refreshDashboardTile(int kind) const
{
    Devices::updateItems_sub(m_index, m_tongdao, kind);
}
