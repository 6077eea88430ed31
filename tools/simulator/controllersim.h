#pragma once

#include "scenario.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class FrameLog;
class PtyChannel;
class SimBus;

// Four buses of simulated controllers, each behind its own pseudo-terminal, set up and
// changed over time as a scenario says.
class ControllerSim : public QObject
{
    Q_OBJECT

public:
    static constexpr int Channels = 4;

    ControllerSim(const Scenario &scenario, quint32 seed, FrameLog *log, QObject *parent = nullptr);
    ~ControllerSim() override;

    bool openPorts(QString *error);
    // One existing terminal per channel instead of pseudo-terminals of its own.
    bool attachPorts(const QStringList &paths, QString *error);
    QStringList slavePaths() const;
    // Links named after the panel's device files (ttyS2, ttyS4, ttyS5, ttyS7) in dir.
    bool createLinks(const QString &dir, QString *error);
    // Every bus a shared half-duplex line (see SimBus::setHalfDuplex).
    void setHalfDuplex(int turnaroundMs);
    // Starts the clock of the scenario's timed changes.
    void start();

    SimBus *bus(int channel) const { return m_buses.at(channel); }

private:
    void setUpControllers();
    void applyEvent(const Scenario::Entry &event);
    void connectBus(int channel);

    Scenario m_scenario;
    FrameLog *m_log = nullptr;
    std::array<SimBus *, Channels> m_buses{};
    std::array<PtyChannel *, Channels> m_ports{};
    QStringList m_links;
};
