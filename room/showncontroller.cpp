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
// What a command changes in the tables when it is shown as done, and what was there before: a
// command whose frame never reaches the line (its port closed first) is taken back.
struct SentCommand
{
    QByteArray frame;
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

// Per port, the last commands handed to it, oldest first: as many as its backlog can hold, since
// a command may be lost with the port's buffer until its bytes are on the line.
constexpr int RememberedCommands = int(WriteBacklogLimit / Wire::CommandFrameSize) + 1;

QHash<QSerialPort *, QVector<SentCommand>> &sentCommands()
{
    static QHash<QSerialPort *, QVector<SentCommand>> sent;
    return sent;
}

// The frames the port lost are the last handed to it, polls among them: the commands they match,
// newest first, are taken back. Every command before them reached the line.
void takeBackDropped(QSerialPort *port, const QVector<QByteArray> &dropped)
{
    QVector<SentCommand> sent = sentCommands().take(port);
    QVector<SentCommand> lost;
    const QByteArray pollStart = Wire::pollRequest(0).left(3);
    for (auto frame = dropped.crbegin(); frame != dropped.crend() && !sent.isEmpty(); ++frame) {
        if (frame->startsWith(pollStart))
            continue;
        if (*frame != sent.last().frame)
            break;
        lost.prepend(sent.takeLast());
    }
    for (auto command = lost.crbegin(); command != lost.crend(); ++command)
        command->takeBack();
    for (const SentCommand &command : qAsConst(lost))
        Devices::commandDropped(command.index, command.tongdao);
}

void followDroppedFrames()
{
    static const bool following = [] {
        HeldFrames *frames = HeldFrames::instance();
        QObject::connect(frames, &HeldFrames::dropped, frames, &takeBackDropped);
        return true;
    }();
    Q_UNUSED(following)
}

// True unless the frame was refused.
bool settle(FrameFate fate, SentCommand command)
{
    if (fate == FrameFate::Refused)
        return false;
    followDroppedFrames();
    command.frame = Wire::toBytes(MainWindow::getInstance()->commandFrame(command.tongdao));
    QVector<SentCommand> &sent = sentCommands()[busPort(command.tongdao)];
    if (sent.size() == RememberedCommands)
        sent.removeFirst();
    sent.append(command);
    return true;
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
    SentCommand command;
    command.index = m_index;
    command.tongdao = m_tongdao;
    if ((command.field = switchedField(record(), code)))
        command.before = *command.field;
    return settle(MainWindow::getInstance()->sendLightOpen(m_tongdao, m_index, code, on), command);
}

bool ShownController::sendValue(int code, int value) const
{
    if (!isAnswering())
        return false;
    SentCommand command;
    command.index = m_index;
    command.tongdao = m_tongdao;
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
