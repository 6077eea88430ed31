#include "controllersim.h"

#include "framelog.h"
#include "ptychannel.h"
#include "simbus.h"

#include <QDir>
#include <QFile>
#include <QTimer>

namespace {

const char *const deviceNames[ControllerSim::Channels] = {"ttyS2", "ttyS4", "ttyS5", "ttyS7"};

} // namespace

ControllerSim::ControllerSim(const Scenario &scenario, quint32 seed, FrameLog *log, QObject *parent)
    : QObject(parent)
    , m_scenario(scenario)
    , m_log(log)
{
    for (int channel = 0; channel < Channels; ++channel) {
        m_buses.at(channel) = new SimBus(channel, seed, this);
        m_ports.at(channel) = new PtyChannel(this);
        connectBus(channel);
    }
    setUpControllers();
}

ControllerSim::~ControllerSim()
{
    for (const QString &link : qAsConst(m_links))
        QFile::remove(link);
}

void ControllerSim::connectBus(int channel)
{
    SimBus *bus = m_buses.at(channel);
    PtyChannel *port = m_ports.at(channel);
    connect(port, &PtyChannel::bytesArrived, bus, &SimBus::receive);
    connect(bus, &SimBus::transmit, port, &PtyChannel::write);
    if (!m_log)
        return;
    connect(bus, &SimBus::frameReceived, this,
            [this, channel](const QByteArray &frame) { m_log->received(channel, frame); });
    connect(bus, &SimBus::junkReceived, this,
            [this, channel](const QByteArray &bytes) { m_log->junk(channel, bytes); });
    connect(bus, &SimBus::collided, this,
            [this, channel](const QByteArray &bytes) { m_log->collision(channel, bytes); });
    connect(bus, &SimBus::transmit, this, [this, channel](const QByteArray &bytes) { m_log->sent(channel, bytes); });
}

void ControllerSim::setHalfDuplex(int turnaroundMs)
{
    for (SimBus *bus : m_buses)
        bus->setHalfDuplex(turnaroundMs);
}

void ControllerSim::setUpControllers()
{
    for (const Scenario::Entry &entry : m_scenario.controllers())
        entry.patch.applyTo(m_buses.at(entry.channel)->ensureController(entry.index));
    for (SimBus *bus : m_buses)
        bus->controllersChanged();
}

bool ControllerSim::openPorts(QString *error)
{
    for (PtyChannel *port : m_ports) {
        if (!port->open(error))
            return false;
    }
    return true;
}

bool ControllerSim::attachPorts(const QStringList &paths, QString *error)
{
    if (paths.size() != Channels) {
        *error = QStringLiteral("%1 ports given, %2 needed").arg(paths.size()).arg(Channels);
        return false;
    }
    for (int channel = 0; channel < Channels; ++channel) {
        if (!m_ports.at(channel)->attach(paths.at(channel), error))
            return false;
    }
    return true;
}

QStringList ControllerSim::slavePaths() const
{
    QStringList paths;
    for (const PtyChannel *port : m_ports)
        paths << port->slavePath();
    return paths;
}

bool ControllerSim::createLinks(const QString &dir, QString *error)
{
    for (int channel = 0; channel < Channels; ++channel) {
        const QString link = QDir(dir).filePath(QLatin1String(deviceNames[channel]));
        QFile::remove(link);
        if (!QFile::link(m_ports.at(channel)->slavePath(), link)) {
            *error = QStringLiteral("cannot create link %1").arg(link);
            return false;
        }
        m_links << link;
    }
    return true;
}

void ControllerSim::start()
{
    for (const Scenario::Entry &event : m_scenario.events()) {
        QTimer::singleShot(qRound(event.atSeconds * 1000), this, [this, event] { applyEvent(event); });
    }
}

void ControllerSim::applyEvent(const Scenario::Entry &event)
{
    event.patch.applyTo(m_buses.at(event.channel)->ensureController(event.index));
    m_buses.at(event.channel)->controllersChanged();
    if (m_log)
        m_log->event(event.channel, QStringLiteral("idx%1 %2").arg(event.index).arg(event.patch.text()));
}
