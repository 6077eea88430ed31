// The command path of two bus ports on real pseudo-terminals, in any order the input chooses: polls,
// replies (whole, cut, garbage) from the far side, reads, command frames, the guard time passing,
// hang-ups of the far side and reopens. After every step the far side's bytes are checked against
// every frame handed over:
//   - none is lost without being told: each was refused, reached the far side, or was reported
//     through HeldFrames::dropped;
//   - no command reaches the line while a poll's reply is due;
//   - frames leave in the order they were handed over.
//
// Input: one step per byte; bit 0 picks the port, the rest the step (see step()), some of which
// take one or more further bytes. The guard time passes only when the input says so (the guard
// timer is fired), so an input runs in microseconds rather than in 300 ms steps.

#include "bus/serialports.h"
#include "wire/wire.h"

#include "pseudoterminal.h"
#include "replymodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <termios.h>
#include <vector>

using ReplyModel::Input;
using ReplyModel::judge;
using ReplyModel::Verdict;

namespace {

constexpr int PortCount = 2;
constexpr int MaxSteps = 256;

[[noreturn]] void violated(int port, const char *what)
{
    std::fprintf(stderr, "invariant broken on port %d: %s\n", port, what);
    std::abort();
}

struct Frame
{
    QByteArray bytes;
    bool poll = false;
    bool held = false;    // waits in the gate; released or dropped resolves it
    bool dropped = false; // reported through HeldFrames::dropped
};

// One port, its far side and what the far side must see.
struct Bus
{
    int number = 0;
    QString link; // the port's device file: a link to the current far side
    std::unique_ptr<PseudoTerminal> far;
    QSerialPort *port = nullptr;
    QTimer *guard = nullptr;
    QTimer *reopenTimer = nullptr;
    Wire::CommandFrame command = Wire::initialCommandFrame();

    std::deque<Frame> expected; // handed over, not yet seen on the far side
    QByteArray line;            // far side bytes not yet matched to a frame
    bool attached = false;      // the port is open on the current far side
    bool resetting = false;     // closed between inputs: nothing to check
    bool replyDue = false;      // the last poll's reply may still be on the line
    bool lastSeenIsDuePoll = false;
    int polledIndex = 0;
    QElapsedTimer sincePoll; // started before the poll, so it runs out no later than the gate's
    QByteArray sinceRead;    // far side bytes since the last read: what the port's buffer may hold

    bool dueNow()
    {
        if (replyDue && sincePoll.elapsed() >= ReplyGuardMs)
            replyDue = false;
        if (replyDue) {
            // As the gate judges the start of the port's buffer, which holds at most these bytes.
            const QByteArray start = sinceRead.left(Wire::FullReplySize);
            const Verdict verdict = judge(start, polledIndex);
            if (verdict == Verdict::Short || verdict == Verdict::Full
                || (verdict == Verdict::Broken && start.size() == Wire::FullReplySize))
                replyDue = false;
        }
        return replyDue;
    }

    // A poll handed over after the one last seen ended that one's reply time.
    bool pollAhead() const
    {
        for (const Frame &frame : expected) {
            if (frame.poll)
                return true;
        }
        return false;
    }

    // Matches what arrived against the frames handed over, in order.
    void takeLine()
    {
        if (far->isOpen())
            line += far->readAvailable();
        while (!line.isEmpty()) {
            while (!expected.empty() && expected.front().dropped)
                expected.pop_front();
            if (expected.empty())
                violated(number, "bytes on the line that no frame explains");
            const Frame &next = expected.front();
            if (next.held)
                violated(number, "a frame reached the line before one held ahead of it");
            if (line.size() < next.bytes.size()) {
                if (!next.bytes.startsWith(line))
                    violated(number, "frames out of order or garbled");
                return;
            }
            if (!line.startsWith(next.bytes))
                violated(number, "frames out of order or garbled");
            if (!next.poll && lastSeenIsDuePoll && !pollAhead() && dueNow())
                violated(number, "a command reached the line while a reply was due");
            if (next.poll)
                lastSeenIsDuePoll = true;
            line.remove(0, next.bytes.size());
            expected.pop_front();
        }
    }

    // When the port closes, everything not refused or reported dropped must have reached the far side.
    void checkNothingLost(const char *when)
    {
        takeLine();
        for (const Frame &frame : expected) {
            if (!frame.dropped) {
                std::fprintf(stderr, "%s: %s never reached the far side\n", when, frame.bytes.toHex(' ').constData());
                violated(number, "a frame reported written was lost without being reported");
            }
        }
    }

    void framesDropped(const QVector<QByteArray> &frames)
    {
        if (resetting)
            return;
        // They are the last frames handed over that had not left, in order; every one held is among them.
        std::vector<Frame *> open;
        for (Frame &frame : expected) {
            if (!frame.dropped)
                open.push_back(&frame);
        }
        if (size_t(frames.size()) > open.size())
            violated(number, "more frames reported dropped than were handed over");
        const size_t left = open.size() - size_t(frames.size());
        for (size_t index = 0; index < open.size(); ++index) {
            if (index < left) {
                if (open[index]->held)
                    violated(number, "a held frame neither left nor was reported dropped");
                continue;
            }
            if (open[index]->bytes != frames.at(int(index - left)))
                violated(number, "the frames reported dropped are not the last ones handed over");
            open[index]->held = false;
            open[index]->dropped = true;
        }
    }

    void heldFramesReleased()
    {
        for (Frame &frame : expected)
            frame.held = false;
    }

    // A new far side behind the same device file, as when a controller's adapter comes back.
    void newFarSide()
    {
        far = std::make_unique<PseudoTerminal>();
        QFile::remove(link);
        if (!far->isOpen() || !QFile::link(far->slavePath(), link))
            violated(number, "no pseudo-terminal for the far side");
        // What the port took from the old far side stays in its buffer until it closes.
        line.clear();
    }

    void send(const QByteArray &bytes)
    {
        const bool due = dueNow();
        const FrameFate fate = sendFrame(port, bytes);
        if (fate == FrameFate::Refused)
            return;
        if (fate == FrameFate::Written && due)
            violated(number, "a command was written while a reply was due");
        Frame frame;
        frame.bytes = bytes;
        frame.held = fate == FrameFate::Held;
        expected.push_back(frame);
    }

    void poll(int index)
    {
        // Frames held up to now are released by the poll, ahead of it.
        QElapsedTimer clock;
        clock.start();
        const QByteArray request = Wire::pollRequest(static_cast<unsigned char>(index));
        if (!writePoll(port, request, index))
            return;
        Frame frame;
        frame.bytes = request;
        frame.poll = true;
        expected.push_back(frame);
        replyDue = true;
        polledIndex = index;
        sincePoll = clock;
        // A reply of an earlier poll left unread still counts against this one, as in the gate.
    }

    void read()
    {
        // Bytes the port has not taken in yet are still ahead of its buffer.
        const int taken = port->isOpen() ? port->readAll().size() : 0;
        sinceRead.remove(0, taken);
        replyTaken(port);
        replyDue = false;
    }

    // Only a far side the port is open on can fill its buffer: one the port has not opened yet is
    // replaced by a new one before it does.
    void farSideWrites(const QByteArray &bytes)
    {
        if (!far->isOpen() || bytes.isEmpty())
            return;
        if (far->write(bytes) && attached)
            sinceRead += bytes;
    }

    void hangUp()
    {
        if (!far->isOpen())
            return;
        takeLine();
        far->closeMaster();
        attached = false;
    }

    // A new far side if the old one hung up; the port takes it when its watcher tries again.
    void reopen()
    {
        if (attached && port->isOpen())
            return;
        if (!far->isOpen() || !port->isOpen())
            newFarSide();
        if (!port->isOpen()) {
            QMetaObject::invokeMethod(reopenTimer, "timeout");
            attached = port->isOpen();
        }
    }

    void closed()
    {
        sinceRead.clear();
        if (resetting)
            return;
        checkNothingLost("port closed");
        attached = false;
        expected.clear();
        replyDue = false;
        lastSeenIsDuePoll = false;
    }
};

QTemporaryDir *links;
Bus buses[PortCount];

QByteArray reply(unsigned char choice)
{
    const char index = char((choice >> 1) & 3);
    const char alarm = char(choice & 0xF8);
    if (choice & 1)
        return QByteArray("\xBB", 1) + index + alarm + '\xFF';
    QByteArray full(Wire::FullReplySize, '\0');
    full[0] = char(Wire::FullReplyStart);
    full[1] = index;
    full[2] = alarm;
    for (int position = 3; position < 30; ++position)
        full[position] = char(choice * position);
    full[30] = char(Wire::fullReplyChecksum(full));
    return full;
}

constexpr int Codes[8] = {Wire::ClearAlarms, Wire::Curtain,   Wire::Television, Wire::AirConditioner,
                          Wire::Fan,         Wire::LightBelt, Wire::SpotLight,  Wire::MainLight};

void step(Bus &bus, unsigned char choice, Input &input)
{
    switch ((choice >> 1) % 10) {
    case 0:
        bus.poll(input.next() & 3);
        break;
    case 1: {
        const unsigned char what = input.next();
        Wire::fillSwitchCommand(bus.command, what & 3, Codes[(what >> 2) & 7], what & 0x20);
        bus.send(Wire::toBytes(bus.command));
        break;
    }
    case 2: {
        const unsigned char what = input.next();
        Wire::fillValueCommand(bus.command, what & 3, Codes[(what >> 2) & 7], input.next());
        bus.send(Wire::toBytes(bus.command));
        break;
    }
    case 3:
        bus.farSideWrites(reply(input.next()));
        break;
    case 4: {
        // Part of a reply, or noise: up to 40 bytes of the input.
        bus.farSideWrites(input.take(input.next() % 41));
        break;
    }
    case 5:
        bus.read();
        break;
    case 6:
        // The guard time passes: the gate's own timer fires, as it would 300 ms after the poll.
        QMetaObject::invokeMethod(bus.guard, "timeout");
        bus.replyDue = false;
        break;
    case 7:
        QCoreApplication::processEvents();
        break;
    case 8:
        bus.hangUp();
        break;
    case 9:
        bus.reopen();
        break;
    }
}

// Every input starts with nothing due, held, buffered or on the line, so that it replays alike. A
// port on a live far side is emptied in place (opening one takes a lock file and a disk sync); one
// that hung up gets a new far side and opens again.
void startInput()
{
    for (Bus &bus : buses) {
        bus.expected.clear();
        bus.resetting = true;
        if (bus.port->isOpen() && bus.attached && bus.far->isOpen()) {
            replyTaken(bus.port);
            for (int turn = 0; turn < 100 && bus.port->bytesToWrite() > 0; ++turn)
                QCoreApplication::processEvents();
            tcflush(int(bus.port->handle()), TCIOFLUSH);
            bus.port->readAll();
            bus.far->readAvailable();
        } else {
            bus.port->close();
            bus.newFarSide();
            QMetaObject::invokeMethod(bus.reopenTimer, "timeout");
            bus.attached = bus.port->isOpen();
            if (!bus.attached)
                violated(bus.number, "the port did not open again on a new far side");
        }
        bus.resetting = false;
        bus.line.clear();
        bus.sinceRead.clear();
        bus.replyDue = false;
        bus.lastSeenIsDuePoll = false;
    }
}

// At the end every frame still open must arrive once the line is free.
void finishInput()
{
    for (Bus &bus : buses) {
        // A port whose far side hung up closes within a few turns of the loop, and is checked then.
        for (int turn = 0; turn < 100 && bus.port->isOpen() && !bus.attached; ++turn)
            QCoreApplication::processEvents();
        if (!bus.port->isOpen() || !bus.attached)
            continue;
        bus.read();
        for (int turn = 0; turn < 100 && bus.port->isOpen() && bus.port->bytesToWrite() > 0; ++turn)
            QCoreApplication::processEvents();
        if (bus.port->isOpen())
            bus.checkNothingLost("end of input");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_commandpath";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv); // lives until the process ends, like the ports
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    links = new QTemporaryDir;
    for (int number = 0; number < PortCount; ++number) {
        Bus &bus = buses[number];
        bus.number = number;
        bus.link = links->filePath(QStringLiteral("ttyS%1").arg(number));
        bus.newFarSide();
        bus.port = openBusPort(bus.link);
        bus.attached = bus.port->isOpen();
        bus.guard = bus.port->findChild<QTimer *>(QStringLiteral("replyGuard"));
        bus.reopenTimer = bus.port->findChild<QTimer *>(QStringLiteral("reopenTimer"));
        if (!bus.port->isOpen() || !bus.guard || !bus.reopenTimer)
            violated(number, "the port did not open on its far side");
        QObject::connect(bus.port, &QIODevice::aboutToClose, [&bus] { bus.closed(); });
    }
    QObject::connect(HeldFrames::instance(), &HeldFrames::dropped,
                     [](QSerialPort *port, const QVector<QByteArray> &frames) {
                         for (Bus &bus : buses) {
                             if (bus.port == port)
                                 bus.framesDropped(frames);
                         }
                     });
    QObject::connect(HeldFrames::instance(), &HeldFrames::released, [](QSerialPort *port) {
        for (Bus &bus : buses) {
            if (bus.port == port)
                bus.heldFramesReleased();
        }
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input input(data, size);
    startInput();
    for (int count = 0; count < MaxSteps && !input.atEnd(); ++count) {
        const unsigned char choice = input.next();
        Bus &bus = buses[choice & 1];
        step(bus, choice, input);
        for (Bus &each : buses)
            each.takeLine();
    }
    finishInput();
    return 0;
}
