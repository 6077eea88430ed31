#include "app/serialports.h"

#include <QElapsedTimer>
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

// A read that finds nothing where the port said there was something is how a hung-up line shows:
// Qt then reports a read error, and again at once for as long as the event loop turns. A lone one
// can also happen on a live line, so only a second within this time counts as a failure.
constexpr qint64 RepeatedReadErrorMs = 100;

// Watches one bus port: a far end that hangs up or fails makes every further read or write fail at
// once, and the event loop would spin on it. Closing the port stops that; its controllers then go
// disconnected as on a missing port, and the port is tried again quietly until the line comes back.
// A port missing at start-up is tried in the same way, so that a late adapter is taken into use.
class PortWatcher : public QObject
{
public:
    explicit PortWatcher(QSerialPort *port)
        : QObject(port)
        , port(port)
    {
        connect(port, &QSerialPort::errorOccurred, this, &PortWatcher::handleError);
        reopenTimer.setInterval(PortReopenIntervalMs);
        connect(&reopenTimer, &QTimer::timeout, this, &PortWatcher::tryReopen);
    }

    // For a port that did not open at start-up.
    void retryUntilOpen()
    {
        everOpen = false;
        reopenTimer.start();
    }

private:
    void handleError(QSerialPort::SerialPortError error)
    {
        if (!port->isOpen())
            return;
        switch (error) {
        case QSerialPort::ReadError:
            if (!lastReadError.isValid() || lastReadError.restart() > RepeatedReadErrorMs) {
                lastReadError.start();
                return;
            }
            break;
        case QSerialPort::WriteError:
        case QSerialPort::ResourceError:
            break;
        default:
            return;
        }
        qDebug("bus port %s failed (error %d: %s), closed until it can be opened again",
               qPrintable(port->portName()), int(error), qPrintable(port->errorString()));
        port->close();
        lastReadError.invalidate();
        reopenTimer.start();
    }

    void tryReopen()
    {
        if (!port->open(QIODevice::ReadWrite))
            return;
        reopenTimer.stop();
        qDebug(everOpen ? "bus port %s open again" : "bus port %s open", qPrintable(port->portName()));
        everOpen = true;
    }

    QSerialPort *port;
    QTimer reopenTimer;
    QElapsedTimer lastReadError;
    bool everOpen = true;
};
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
    // No flush(): it writes whether or not the line can take the bytes, and on a full line Qt reports
    // that as a resource error, which is also how a hung-up line shows. The bytes leave when the
    // port's write notifier says the line takes them, on the next turn of the event loop.
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
    auto *watcher = new PortWatcher(port);
    if (!port->open(QIODevice::ReadWrite))
        watcher->retryUntilOpen();
    return port;
}
