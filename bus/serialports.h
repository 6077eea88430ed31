#pragma once

#include "bus/smalldevinfo.h"

#include <QString>

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

// Writes one frame to an open port whose backlog (frames held for the line included) has room.
// Commands and polls are fire-and-forget, so a dropped frame costs no more than a lost one on the
// wire. Each bus is half-duplex: while a poll's reply is due the frame is held, and leaves right
// after the reply, in the order written. True when the frame will leave.
bool writeFrame(QSerialPort *port, const QByteArray &frame);

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
