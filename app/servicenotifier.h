#pragma once

#include <QObject>

class QTimer;

// Tells systemd (Type=notify, WatchdogSec=) that the panel is up and that its event loop still
// turns. A frozen panel leaves a frozen picture on the wall and never exits on its own, so only
// a keep-alive sent from the event loop itself lets the service manager notice and restart it.
// Without systemd (NOTIFY_SOCKET unset) it does nothing.
class ServiceNotifier : public QObject
{
    Q_OBJECT

public:
    explicit ServiceNotifier(QObject *parent = nullptr);

    // Sends READY=1 and starts the keep-alive once the event loop runs, that is after the window
    // given to show() has been laid out and its first paint is queued.
    void notifyReadyWhenRunning();

private:
    void notifyReady();
    void keepAlive();

    QTimer *m_watchdog = nullptr;
};
