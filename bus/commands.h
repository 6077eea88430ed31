#pragma once

#include "wire/smalldevinfo.h"
#include "wire/wire.h"

#include <QObject>
#include <QVector>

#include <optional>

class QSerialPort;

// What became of a command handed to the bus.
enum class CommandResult {
    Sent,         // on its way to the line
    Held,         // waits for a poll's reply to leave the line, then goes
    NoPort,       // refused: the channel's port is not open, or its line takes no bytes
    NotAnswering, // refused: the controller is judged disconnected and gets no commands until it answers
    NoController, // nothing to send: no controller addressed (a screen then acts on its own look alone)
};

constexpr bool isRefused(CommandResult result)
{
    return result == CommandResult::NoPort || result == CommandResult::NotAnswering;
}

// The one way anything sends a command frame: one frame per channel, filled and written here. A
// command that is not refused shows as done in the tables at once (the record's switch, brightness or
// alarm byte); the controller's next full reply says what it really did. A frame that never reaches
// the line (held for a reply, or still in the port's buffer, when the port hangs up) takes the tables
// back, and dropped() tells whoever shows them.
class Commands : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Commands)

public:
    static Commands *instance();

    // AA index code 01|02 00 00 FF, with the debug line "~~~sendLightOpen~~~: …".
    CommandResult sendSwitch(int tongdao, int index, int code, bool on);
    // AA index code 00 value 00 FF, with the debug line "~~~sendLight~~~: …".
    CommandResult sendValue(int tongdao, int index, int code, int value);

    // The channel's frame as last filled.
    Wire::CommandFrame frame(int tongdao) const { return frames[isChannel(tongdao) ? tongdao : 0]; }
    // Every channel's frame back to its first content, and nothing remembered as sent.
    void reset();

signals:
    // A command was not refused and shows as done in the controller's tables; `code` says which
    // (Wire::ClearAlarms for the alarms acknowledged). Emitted before sendSwitch/sendValue return.
    void applied(int index, int tongdao, int code);
    // A command shown as done never reached the line; the tables are back as before it.
    void dropped(int index, int tongdao);

private:
    explicit Commands(QObject *parent = nullptr);

    std::optional<CommandResult> refusal(int tongdao, int index, const char *name) const;
    CommandResult write(int tongdao, const char *name);
    void announceApplied(int index, int tongdao, int code);
    void takeBackDropped(QSerialPort *port, const QVector<QByteArray> &droppedFrames);

    Wire::CommandFrame frames[ChannelCount];
};
