#include "bus/commands.h"

#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "bus/serialports.h"

#include <QHash>
#include <QSerialPort>

namespace {
// What a command changed in the tables when it was shown as done, and what was there before.
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

// What a switch command changes: the record's on/off field.
SentCommand switchCommand(int index, int tongdao, int code)
{
    SentCommand command{QByteArray(), index, tongdao};
    if (isController(index, tongdao))
        command.field = switchedField(smallDevInfos[tongdao][index], code);
    return command;
}

// What a value command changes: the alarm byte for the clear command; for a dimmer, its brightness
// and the value last sent for it.
SentCommand valueCommand(int index, int tongdao, int code)
{
    SentCommand command{QByteArray(), index, tongdao};
    if (!isController(index, tongdao))
        return command;
    if (code == Wire::ClearAlarms) {
        command.field = &smallDevBaojingStates[tongdao][index];
    } else if ((command.field = dimmedField(smallDevInfos[tongdao][index], code))) {
        command.lastSent = &lightBright[tongdao][index][code - Wire::LightBelt];
    }
    return command;
}

// Per port, the last commands handed to it, oldest first: as many as its backlog can hold, since
// a command may be lost with the port's buffer until its bytes are on the line.
constexpr int RememberedCommands = int(WriteBacklogLimit / Wire::CommandFrameSize) + 1;

QHash<QSerialPort *, QVector<SentCommand>> &sentCommands()
{
    static QHash<QSerialPort *, QVector<SentCommand>> sent;
    return sent;
}

// Shows the command as done and remembers how to take it back.
void settle(SentCommand command, unsigned char shownValue, int lastSentValue)
{
    if (command.field) {
        command.before = *command.field;
        *command.field = shownValue;
    }
    if (command.lastSent) {
        command.lastSentBefore = *command.lastSent;
        *command.lastSent = lastSentValue;
    }
    QVector<SentCommand> &sent = sentCommands()[busPort(command.tongdao)];
    if (sent.size() == RememberedCommands)
        sent.removeFirst();
    sent.append(command);
}

CommandResult resultOf(FrameFate fate)
{
    switch (fate) {
    case FrameFate::Written:
        return CommandResult::Sent;
    case FrameFate::Held:
        return CommandResult::Held;
    case FrameFate::Refused:
        break;
    }
    return CommandResult::NoPort;
}

void logFrame(const char *name, const Wire::CommandFrame &frame)
{
    qDebug("~~~%s~~~: %d %d %d %d %d %d %d", name, frame[0], frame[1], frame[2], frame[3], frame[4], frame[5],
           frame[6]);
}
} // namespace

// No parent: it lives as long as the process, like the tables it writes.
Commands *Commands::instance()
{
    static auto *commands = new Commands;
    return commands;
}

Commands::Commands(QObject *parent)
    : QObject(parent)
{
    reset();
    connect(HeldFrames::instance(), &HeldFrames::dropped, this, &Commands::takeBackDropped);
}

void Commands::reset()
{
    for (Wire::CommandFrame &frame : frames)
        frame = Wire::initialCommandFrame();
    sentCommands().clear();
}

CommandResult Commands::sendSwitch(int tongdao, int index, int code, bool on)
{
    if (const std::optional<CommandResult> refused = refusal(tongdao, index, "sendLightOpen"))
        return *refused;
    Wire::fillSwitchCommand(frames[tongdao], index, code, on);
    SentCommand command = switchCommand(index, tongdao, code);
    command.frame = Wire::toBytes(frames[tongdao]);
    const CommandResult result = write(tongdao, "sendLightOpen");
    if (!isRefused(result)) {
        settle(command, on ? 1 : 0, 0);
        announceApplied(index, tongdao, code);
    }
    return result;
}

CommandResult Commands::sendValue(int tongdao, int index, int code, int value)
{
    if (const std::optional<CommandResult> refused = refusal(tongdao, index, "sendLight"))
        return *refused;
    Wire::fillValueCommand(frames[tongdao], index, code, value);
    SentCommand command = valueCommand(index, tongdao, code);
    command.frame = Wire::toBytes(frames[tongdao]);
    const CommandResult result = write(tongdao, "sendLight");
    if (!isRefused(result)) {
        settle(command, code == Wire::ClearAlarms ? 0 : static_cast<unsigned char>(value), value);
        announceApplied(index, tongdao, code);
    }
    return result;
}

void Commands::announceApplied(int index, int tongdao, int code)
{
    if (isController(index, tongdao))
        emit applied(index, tongdao, code);
}

// Nothing when the command may go. A controller judged disconnected gets nothing until it answers
// again: a frame to it would be shown as done while nobody hears it.
std::optional<CommandResult> Commands::refusal(int tongdao, int index, const char *name) const
{
    if (!isChannel(tongdao)) {
        qDebug("~~~%s~~~: no channel %d, nothing sent", name, tongdao);
        return CommandResult::NoPort;
    }
    if (isDeviceIndex(index) && ControllerStates::instance()->isSilent(index, tongdao))
        return CommandResult::NotAnswering;
    return std::nullopt;
}

// The controller's new state comes back with its next poll reply. A port that is not open, or whose
// line is stuck, gets nothing, and the caller hears so: it tells the person on the screen rather than
// in a line per command.
CommandResult Commands::write(int tongdao, const char *name)
{
    const FrameFate fate = sendFrame(busPort(tongdao), Wire::toBytes(frames[tongdao]));
    logFrame(name, frames[tongdao]);
    return resultOf(fate);
}

// The frames the port lost are the last handed to it, polls among them: the commands they match,
// newest first, are taken back. Every command before them reached the line.
void Commands::takeBackDropped(QSerialPort *port, const QVector<QByteArray> &droppedFrames)
{
    QVector<SentCommand> sent = sentCommands().take(port);
    QVector<SentCommand> lost;
    const QByteArray pollStart = Wire::pollRequest(0).left(3);
    for (auto frame = droppedFrames.crbegin(); frame != droppedFrames.crend() && !sent.isEmpty(); ++frame) {
        if (frame->startsWith(pollStart))
            continue;
        if (*frame != sent.last().frame)
            break;
        lost.prepend(sent.takeLast());
    }
    for (auto command = lost.crbegin(); command != lost.crend(); ++command)
        command->takeBack();
    for (const SentCommand &command : qAsConst(lost))
        emit dropped(command.index, command.tongdao);
}
