#pragma once

#include "controllerstate.h"
#include "framescanner.h"
#include "halfduplexline.h"
#include "replyplanner.h"

#include <QByteArray>
#include <QElapsedTimer>
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
    // Makes the bus a shared half-duplex line: replies take their time on it, and panel bytes that
    // meet a reply due or under way garble both (the reply goes out corrupted, the frame is lost).
    void setHalfDuplex(int turnaroundMs);

public slots:
    void receive(const QByteArray &bytes);

signals:
    void frameReceived(const QByteArray &frame);
    void junkReceived(const QByteArray &bytes);
    // Panel bytes that met a reply on a half-duplex line; neither reached its receiver intact.
    void collided(const QByteArray &bytes);
    void transmit(const QByteArray &bytes);

private:
    void receiveOnSharedLine(const QByteArray &bytes);
    void handle(const ScannedFrame &frame);
    void answerPoll(quint8 address);
    void applyCommand(const ScannedFrame &frame);
    void send(const ReplyChunk &chunk);
    void sendOnSharedLine(const ReplyChunk &chunk);
    bool anyBabbling() const;
    void babble();

    int m_channel = 0;
    FrameScanner m_scanner;
    ReplyPlanner m_planner;
    std::array<std::optional<ControllerState>, Controllers> m_controllers;
    QTimer *m_babble = nullptr;

    std::optional<HalfDuplexLine> m_line;
    QElapsedTimer m_clock;
    int m_replyWindow = 0;   // counts the polls taken on the shared line
    int m_garbledWindow = 0; // the latest of them whose reply met panel bytes
};
