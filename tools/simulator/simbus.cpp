#include "simbus.h"

#include <QTimer>

namespace {
// 9600 baud with start and stop bits carries 960 bytes a second: 48 every 50 ms.
constexpr int BabbleIntervalMs = 50;
constexpr int BabbleBytes = 48;
} // namespace

SimBus::SimBus(int channel, quint32 seed, QObject *parent)
    : QObject(parent)
    , m_channel(channel)
    , m_planner(seed + quint32(channel)) // each bus its own sequence, all from one seed
    , m_babble(new QTimer(this))
{
    m_babble->setInterval(BabbleIntervalMs);
    connect(m_babble, &QTimer::timeout, this, &SimBus::babble);
}

void SimBus::controllersChanged()
{
    if (anyBabbling())
        m_babble->start();
    else
        m_babble->stop();
}

bool SimBus::anyBabbling() const
{
    for (const auto &controller : m_controllers) {
        if (controller && controller->behaviour() == Behaviour::Babble)
            return true;
    }
    return false;
}

void SimBus::babble()
{
    emit transmit(m_planner.noise(BabbleBytes));
}

ControllerState *SimBus::controller(int index)
{
    if (index < 0 || index >= Controllers || !m_controllers.at(index))
        return nullptr;
    return &*m_controllers.at(index);
}

ControllerState &SimBus::ensureController(int index)
{
    auto &slot = m_controllers.at(index);
    if (!slot)
        slot.emplace();
    return *slot;
}

void SimBus::setHalfDuplex(int turnaroundMs)
{
    m_line.emplace(turnaroundMs);
    m_clock.start();
}

void SimBus::receive(const QByteArray &bytes)
{
    if (m_line) {
        receiveOnSharedLine(bytes);
        return;
    }
    for (const ScannedFrame &frame : m_scanner.feed(bytes))
        handle(frame);
}

// Each frame is placed on the line where the panel's port sent it: a frame that follows a poll in
// the same write is on the line while that poll's reply is due.
void SimBus::receiveOnSharedLine(const QByteArray &bytes)
{
    const int heldBefore = m_scanner.pending().size();
    const HalfDuplexLine::Span sent = m_line->panelSends(m_clock.nsecsElapsed(), bytes.size());
    int end = -heldBefore;
    for (const ScannedFrame &frame : m_scanner.feed(bytes)) {
        const int start = end;
        end += frame.bytes.size();
        const auto span = HalfDuplexLine::bytesOf(sent, qMax(start, 0), qBound(0, end, int(bytes.size())));
        if (m_line->overlapsReply(span)) {
            m_garbledWindow = m_replyWindow;
            emit collided(frame.bytes);
            continue;
        }
        if (frame.kind == ScannedFrame::Poll) {
            m_line->pollEnded(span.endNs);
            ++m_replyWindow;
        }
        handle(frame);
    }
}

void SimBus::handle(const ScannedFrame &frame)
{
    switch (frame.kind) {
    case ScannedFrame::Junk:
        emit junkReceived(frame.bytes);
        return;
    case ScannedFrame::Poll:
        emit frameReceived(frame.bytes);
        answerPoll(frame.pollAddress());
        return;
    case ScannedFrame::Command:
        emit frameReceived(frame.bytes);
        applyCommand(frame);
        return;
    }
}

void SimBus::answerPoll(quint8 address)
{
    // Bus address i is controller i.
    const ControllerState *polled = controller(address);
    if (!polled)
        return;
    for (const ReplyChunk &chunk : m_planner.plan(*polled, address))
        send(chunk);
}

void SimBus::applyCommand(const ScannedFrame &frame)
{
    if (ControllerState *target = controller(frame.commandIndex()))
        target->applyCommand(frame.commandCode(), frame.commandSwitch(), frame.commandValue());
}

void SimBus::send(const ReplyChunk &chunk)
{
    if (m_line) {
        sendOnSharedLine(chunk);
        return;
    }
    if (chunk.delayMs <= 0) {
        emit transmit(chunk.bytes);
        return;
    }
    const QByteArray bytes = chunk.bytes;
    QTimer::singleShot(chunk.delayMs, this, [this, bytes] { emit transmit(bytes); });
}

// The panel has the reply when its last byte is through; one that met panel bytes arrives garbled.
void SimBus::sendOnSharedLine(const ReplyChunk &chunk)
{
    const qint64 deliveredNs = m_line->bookReply(chunk.delayMs * 1000000LL, chunk.bytes.size());
    const qint64 waitNs = deliveredNs - m_clock.nsecsElapsed();
    const int waitMs = int(qMax<qint64>(0, (waitNs + 999999) / 1000000));
    const QByteArray bytes = chunk.bytes;
    const int window = m_replyWindow;
    QTimer::singleShot(waitMs, Qt::PreciseTimer, this, [this, bytes, window] {
        if (window != m_garbledWindow) {
            emit transmit(bytes);
            return;
        }
        QByteArray garbled = bytes;
        for (char &byte : garbled)
            byte = char(~byte);
        emit transmit(garbled);
    });
}
