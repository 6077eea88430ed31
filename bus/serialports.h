#pragma once

#include "wire/smalldevinfo.h"

#include <QObject>
#include <QString>
#include <QVector>

class QSerialPort;

// The four bus ports, channel 0 to 3. Created by the main window and alive until the process ends.
extern QSerialPort *myCom1;
extern QSerialPort *myCom2;
extern QSerialPort *myCom3;
extern QSerialPort *myCom4;

// The device file of each channel. The product never changes it; tests point it at
// pseudo-terminals before the main window is built.
extern QString serialDeviceFiles[ChannelCount];

// How often a port that failed while in use is tried again.
constexpr int PortReopenIntervalMs = 3000;

// What a port may hold back for a bus that does not take its bytes: about four seconds of the line.
// A line that falls this far behind is stuck, and frames beyond it are dropped whole.
constexpr qint64 WriteBacklogLimit = 4096;

// How long a poll's reply may hold the bus: as long as the panel waits before it reads the reply.
constexpr int ReplyGuardMs = 300;

// What became of a frame handed to a bus port.
enum class FrameFate {
    Refused, // the port is not open, or its line takes no bytes
    Written, // on its way to the line; HeldFrames tells if its port closed before it left
    Held,    // waits for a poll's reply; HeldFrames tells whether it left or was dropped
};

// Writes one frame to an open port whose backlog (frames held for the line included) has room.
// Each bus is half-duplex: while a poll's reply is due the frame is held, and leaves right after
// the reply, in the order written.
FrameFate sendFrame(QSerialPort *port, const QByteArray &frame);
// As sendFrame; true unless the frame was refused.
bool writeFrame(QSerialPort *port, const QByteArray &frame);

// Frames held for a reply leave when it is in, or are dropped when their port closes (a hang-up)
// before, as are written frames still in the port's buffer; a sender that showed a command as done
// hears here whether to take it back.
class HeldFrames : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(HeldFrames)

public:
    static HeldFrames *instance();

signals:
    // Every frame held for the port has left.
    void released(QSerialPort *port);
    // The last frames handed to the port, in the order written, never (wholly) reached the line;
    // any before them left.
    void dropped(QSerialPort *port, const QVector<QByteArray> &frames);

private:
    explicit HeldFrames(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
};

// Writes a poll request to the controller at polledIndex (as writeFrame does, after any frame still
// held): its reply is due from now until it is in, it has been read (replyTaken), or
// ReplyGuardMs have passed.
bool writePoll(QSerialPort *port, const QByteArray &request, int polledIndex);

// The read after a poll has taken its reply: frames held for the line leave now.
void replyTaken(QSerialPort *port);

// A port with the bus settings (9600 8N1, no flow control), opened for reading and writing if it
// can be. A port that fails later (hang-up, read or write error) is closed and reopened quietly.
QSerialPort *openBusPort(const QString &deviceFile);

// Creates the four ports from serialDeviceFiles, channel 0 to 3, and opens those it can.
void openBusPorts();

// Closes the four ports, so that their lock files go and the buses are free for whoever comes next.
void closeBusPorts();

// The port of a channel; anything but 1, 2 or 3 gives channel 0's port.
QSerialPort *busPort(int channel);
