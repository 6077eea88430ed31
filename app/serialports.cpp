#include "app/serialports.h"

#include <QSerialPort>
#include <QTimer>
#include <QVariant>

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

namespace {
// A poll reply is at most 31 bytes a second; anything beyond a few KiB between two reads is noise
// that must not grow memory.
constexpr qint64 ReadBufferSize = 4096;

bool isLineFailure(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ReadError || error == QSerialPort::WriteError
        || error == QSerialPort::ResourceError;
}

void retryOpen(QSerialPort *port)
{
    QTimer::singleShot(PortReopenIntervalMs, port, [port] {
        if (port->isOpen())
            return;
        if (port->open(QIODevice::ReadWrite))
            qDebug("bus port %s open again", qPrintable(port->portName()));
        else
            retryOpen(port);
    });
}

// A far end that hangs up makes every further read fail at once, and the event loop would spin on
// it. Closing the port stops that; its controllers then go disconnected as on a missing port, until
// the line comes back.
void closeOnLineFailure(QSerialPort *port, QSerialPort::SerialPortError error)
{
    if (!isLineFailure(error) || !port->isOpen())
        return;
    qDebug("bus port %s failed (%s), closed until it can be opened again", qPrintable(port->portName()),
           qPrintable(port->errorString()));
    port->close();
    retryOpen(port);
}
} // namespace

bool writeFrame(QSerialPort *port, const QByteArray &frame)
{
    if (!port || !port->isOpen())
        return false;
    // Said once per stall rather than per frame, as the line may stay stuck for hours; a stall ends
    // when the backlog has drained.
    static const char *const stalledProperty = "busStalled";
    if (port->bytesToWrite() == 0)
        port->setProperty(stalledProperty, false);
    if (port->bytesToWrite() + frame.size() > WriteBacklogLimit) {
        if (!port->property(stalledProperty).toBool())
            qDebug("bus port %s takes no bytes, frames dropped", qPrintable(port->portName()));
        port->setProperty(stalledProperty, true);
        return false;
    }
    return port->write(frame) == frame.size();
}

QSerialPort *openBusPort(const QString &deviceFile)
{
    // No parent: the ports are globals that live as long as the process.
    auto *port = new QSerialPort(deviceFile);
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->setReadBufferSize(ReadBufferSize);
    QObject::connect(port, &QSerialPort::errorOccurred, port,
                     [port](QSerialPort::SerialPortError error) { closeOnLineFailure(port, error); });
    port->open(QIODevice::ReadWrite);
    return port;
}
