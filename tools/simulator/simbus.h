#pragma once

#include "controllerstate.h"
#include "framescanner.h"
#include "replyplanner.h"

#include <QByteArray>
#include <QObject>

class QTimer;

#include <array>
#include <optional>

// The controllers of one bus: they read the bytes the panel writes, answer the poll
// requests addressed to them and take the command frames. Knows nothing of ports.
class SimBus : public QObject
{
    Q_OBJECT

public:
    static constexpr int Controllers = 4;

    explicit SimBus(int channel, quint32 seed, QObject *parent = nullptr);

    int channel() const { return m_channel; }
    // nullptr while that controller is absent.
    ControllerState *controller(int index);
    ControllerState &ensureController(int index);
    // Call after changing a controller's behaviour: starts or stops a babbling controller's stream.
    void controllersChanged();

public slots:
    void receive(const QByteArray &bytes);

signals:
    void frameReceived(const QByteArray &frame);
    void junkReceived(const QByteArray &bytes);
    void transmit(const QByteArray &bytes);

private:
    void handle(const ScannedFrame &frame);
    void answerPoll(quint8 address);
    void applyCommand(const ScannedFrame &frame);
    void send(const ReplyChunk &chunk);
    bool anyBabbling() const;
    void babble();

    int m_channel = 0;
    FrameScanner m_scanner;
    ReplyPlanner m_planner;
    std::array<std::optional<ControllerState>, Controllers> m_controllers;
    QTimer *m_babble = nullptr;
};
