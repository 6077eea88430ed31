#include "app/serialports.h"

#include <QSerialPort>

QSerialPort *myCom1 = nullptr;
QSerialPort *myCom2 = nullptr;
QSerialPort *myCom3 = nullptr;
QSerialPort *myCom4 = nullptr;

QString serialDeviceFiles[ChannelCount] = {
    QStringLiteral("/dev/ttyS2"),
    QStringLiteral("/dev/ttyS4"),
    QStringLiteral("/dev/ttyS5"),
    QStringLiteral("/dev/ttyS7"),
};

QSerialPort *openBusPort(const QString &deviceFile)
{
    // No parent: the ports are globals that live as long as the process.
    auto *port = new QSerialPort(deviceFile);
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->open(QIODevice::ReadWrite);
    return port;
}
