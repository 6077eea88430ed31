#pragma once

#include <QElapsedTimer>
#include <QObject>


// Tells systemd (Type=notify, WatchdogSec=) that the panel is up and that it still does its work. A
// frozen panel leaves a frozen picture on the wall and never exits on its own; a panel whose event
// loop turns but whose poll cycle stopped shows alarms nobody reports any more. So the keep-alive
// goes out only while the work it is told of (workDone) keeps coming, and at once: a late
// keep-alive would let a slow but working board be killed. Without systemd (NOTIFY_SOCKET unset) it
// does nothing.
class ServiceNotifier : public QObject
{
    Q_OBJECT

public:
    explicit ServiceNotifier(QObject *parent = nullptr);

    // Sends READY=1 and starts the keep-alive once the event loop runs, that is after the window
    // given to show() has been laid out and its first paint is queued.
    void notifyReadyWhenRunning();

public slots:
    // The work a keep-alive vouches for was done once more: the keep-alive goes out now, unless
    // one went out a moment ago.
    void workDone();

private:
    void notifyReady();

    // Zero until READY=1, and when the service manager keeps no watchdog.
    qint64 m_intervalMs = 0;
    QElapsedTimer m_sinceKeepAlive;
};
