#include "bus/serialports.h"

#include "wire/wire.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>
#include <QVariant>
#include <QVector>

#include <utility>

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
    explicit PortWatcher(QSerialPort *watched)
        : QObject(watched)
        , port(watched)
    {
        // Named and parented so that tests can find it; as a member it is gone before its parent.
        reopenTimer.setParent(this);
        reopenTimer.setObjectName(QStringLiteral("reopenTimer"));
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
        qDebug("bus port %s failed (error %d: %s), closed until it can be opened again", qPrintable(port->portName()),
               int(error), qPrintable(port->errorString()));
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

// Hands the frame to the line at once when it can take it: the wait of 0 ms writes what the line
// takes now and returns. A full line only times out (which is no failure), so unlike flush() it is
// never taken for a hung-up one; a hung-up line fails the write as before. Otherwise the bytes would
// leave on the next turn of the event loop, after whatever else it has to do.
bool writeAtOnce(QSerialPort *port, const QByteArray &frame)
{
    if (port->write(frame) != frame.size())
        return false;
    port->waitForBytesWritten(0);
    // A write that finds the line hung up closes the port, and the frame goes with its buffer.
    return port->isOpen();
}

// Up to four controllers share each bus, and only one side may talk at a time: a frame that meets
// a controller's reply garbles both. From a poll until its reply is in (or read, or the guard time
// passed) the gate holds the frames written to its port, and then lets them go at once, in order.
// Polling pays nothing for it: the port's readyRead and the guard timer are used only while a
// frame waits, and otherwise a poll costs a flag and a clock read.
class LineGate : public QObject
{
    Q_OBJECT

public:
    explicit LineGate(QSerialPort *gated)
        : QObject(gated)
        , port(gated)
    {
        // Found by name in tests that make the guard time pass without waiting for it.
        guard.setParent(this);
        guard.setObjectName(QStringLiteral("replyGuard"));
        guard.setSingleShot(true);
        // A coarse timer may fire 5 % early, into the time a slow reply may still take.
        guard.setTimerType(Qt::PreciseTimer);
        connect(&guard, &QTimer::timeout, this, &LineGate::release);
        // Frames held for a port that closes are dropped with the bytes of its write buffer: the
        // line they were meant for is gone, and the next poll after reopening shows the true state.
        connect(port, &QIODevice::aboutToClose, this, &LineGate::dropHeld);
    }

    static LineGate *of(QSerialPort *port)
    {
        return port ? port->findChild<LineGate *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    }

    qint64 heldBytes() const { return held; }

    FrameFate send(const QByteArray &frame)
    {
        if (!replyDue()) {
            release();
            if (!port->isOpen())
                return FrameFate::Refused;
            return write(frame) ? FrameFate::Written : FrameFate::Refused;
        }
        if (waiting.isEmpty())
            watchForReply();
        waiting.append(frame);
        held += frame.size();
        return FrameFate::Held;
    }

    void expectReply(int index)
    {
        polledIndex = index;
        sincePoll.start();
    }

    // Ends the reply's hold on the line; held frames leave in the order they were written.
    void release()
    {
        polledIndex = NoReply;
        if (waiting.isEmpty())
            return;
        stopWatching();
        // Each stays held until written: a write can find the line hung up, and the port then closes
        // at once, dropping it with those behind it.
        while (!waiting.isEmpty()) {
            const QByteArray frame = waiting.first();
            if (!write(frame)) {
                held = 0;
                if (!waiting.isEmpty())
                    emit HeldFrames::instance()->dropped(port, std::exchange(waiting, {}));
                return;
            }
            waiting.removeFirst();
            held -= frame.size();
        }
        emit HeldFrames::instance()->released(port);
    }

private:
    static constexpr int NoReply = -1;

    bool replyDue() const { return polledIndex != NoReply && sincePoll.elapsed() < ReplyGuardMs && !replyIsIn(); }

    // Judged as the read will judge it; a full reply that fails its checksum is complete too.
    bool replyIsIn() const
    {
        const QByteArray start = port->peek(Wire::FullReplySize);
        switch (Wire::classifyReply(start, polledIndex).kind) {
        case Wire::ReplyKind::ShortReply:
        case Wire::ReplyKind::FullReply:
            return true;
        case Wire::ReplyKind::BrokenFullReply:
            return start.size() == Wire::FullReplySize;
        case Wire::ReplyKind::Nothing:
        case Wire::ReplyKind::Unacceptable:
            break;
        }
        return false;
    }

    void watchForReply()
    {
        guard.start(int(qMax<qint64>(0, ReplyGuardMs - sincePoll.elapsed())));
        readyReadConnection = connect(port, &QIODevice::readyRead, this, &LineGate::releaseIfReplyIsIn);
    }

    void stopWatching()
    {
        guard.stop();
        disconnect(readyReadConnection);
    }

    // Writes a frame and remembers it while its bytes may still be in the port's buffer, which Qt
    // empties without a word when the port closes.
    bool write(const QByteArray &frame)
    {
        writing = frame.size();
        const bool written = writeAtOnce(port, frame);
        writing = 0;
        if (!written)
            return false;
        unsent.append(frame);
        unsentBytes += frame.size();
        const qint64 pending = port->bytesToWrite();
        int gone = 0;
        while (gone < unsent.size() && unsentBytes - unsent.at(gone).size() >= pending)
            unsentBytes -= unsent.at(gone++).size();
        unsent.remove(0, gone);
        return true;
    }

    void releaseIfReplyIsIn()
    {
        if (replyIsIn())
            release();
    }

    void dropHeld()
    {
        stopWatching();
        polledIndex = NoReply;
        held = 0;
        // The frames whose bytes are still in the buffer, but not one being written: its writer
        // reports it.
        qint64 pending = port->bytesToWrite() - writing;
        int first = unsent.size();
        while (pending > 0 && first > 0)
            pending -= unsent.at(--first).size();
        QVector<QByteArray> lost = unsent.mid(first);
        unsent.clear();
        unsentBytes = 0;
        lost += std::exchange(waiting, {});
        if (!lost.isEmpty())
            emit HeldFrames::instance()->dropped(port, lost);
    }

    QSerialPort *port;
    int polledIndex = NoReply;
    QElapsedTimer sincePoll;
    QVector<QByteArray> waiting;
    qint64 held = 0;
    QVector<QByteArray> unsent; // written, oldest first; the last of them cover the port's buffer
    qint64 unsentBytes = 0;
    qint64 writing = 0; // the size of the frame being written
    QTimer guard;
    QMetaObject::Connection readyReadConnection;
};
} // namespace

// No parent: it lives as long as the process, like the ports it speaks of.
HeldFrames *HeldFrames::instance()
{
    static auto *heldFrames = new HeldFrames;
    return heldFrames;
}

FrameFate sendFrame(QSerialPort *port, const QByteArray &frame)
{
    if (!port || !port->isOpen())
        return FrameFate::Refused;
    LineGate *gate = LineGate::of(port);
    const qint64 backlog = port->bytesToWrite() + (gate ? gate->heldBytes() : 0);
    // Said once per stall rather than per frame, as the line may stay stuck for hours; a stall ends
    // when the backlog has drained.
    static const char *const stalledProperty = "busStalled";
    if (backlog == 0)
        port->setProperty(stalledProperty, false);
    if (backlog + frame.size() > WriteBacklogLimit) {
        if (!port->property(stalledProperty).toBool())
            qDebug("bus port %s takes no bytes, frames dropped", qPrintable(port->portName()));
        port->setProperty(stalledProperty, true);
        return FrameFate::Refused;
    }
    // No flush(): it writes whether or not the line can take the bytes, and on a full line Qt reports
    // that as a resource error, which is also how a hung-up line shows.
    if (gate)
        return gate->send(frame);
    return writeAtOnce(port, frame) ? FrameFate::Written : FrameFate::Refused;
}

bool writeFrame(QSerialPort *port, const QByteArray &frame)
{
    return sendFrame(port, frame) != FrameFate::Refused;
}

bool writePoll(QSerialPort *port, const QByteArray &request, int polledIndex)
{
    LineGate *gate = LineGate::of(port);
    if (gate)
        gate->release();
    if (!writeFrame(port, request))
        return false;
    if (gate)
        gate->expectReply(polledIndex);
    return true;
}

void replyTaken(QSerialPort *port)
{
    if (LineGate *gate = LineGate::of(port))
        gate->release();
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
    new LineGate(port);
    auto *watcher = new PortWatcher(port);
    if (!port->open(QIODevice::ReadWrite))
        watcher->retryUntilOpen();
    return port;
}

void openBusPorts()
{
    myCom1 = openBusPort(serialDeviceFiles[0]);
    myCom2 = openBusPort(serialDeviceFiles[1]);
    myCom3 = openBusPort(serialDeviceFiles[2]);
    myCom4 = openBusPort(serialDeviceFiles[3]);
}

void closeBusPorts()
{
    for (QSerialPort *port : {myCom1, myCom2, myCom3, myCom4}) {
        if (port)
            port->close();
    }
}

QSerialPort *busPort(int channel)
{
    switch (channel) {
    case 1:
        return myCom2;
    case 2:
        return myCom3;
    case 3:
        return myCom4;
    default:
        return myCom1;
    }
}

#include "serialports.moc"
