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

void SimBus::receive(const QByteArray &bytes)
{
    for (const ScannedFrame &frame : m_scanner.feed(bytes))
        handle(frame);
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
    if (chunk.delayMs <= 0) {
        emit transmit(chunk.bytes);
        return;
    }
    const QByteArray bytes = chunk.bytes;
    QTimer::singleShot(chunk.delayMs, this, [this, bytes] { emit transmit(bytes); });
}
