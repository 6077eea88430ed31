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

// A port with the bus settings (9600 8N1, no flow control), opened for reading and writing if it
// can be. A port that fails later (hang-up, read or write error) is closed and reopened quietly.
QSerialPort *openBusPort(const QString &deviceFile);
