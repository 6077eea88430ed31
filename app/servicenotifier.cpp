#include "app/servicenotifier.h"

#include <QTimer>

#include <systemd/sd-daemon.h>

ServiceNotifier::ServiceNotifier(QObject *parent)
    : QObject(parent)
    , m_watchdog(new QTimer(this))
{
    connect(m_watchdog, &QTimer::timeout, this, &ServiceNotifier::keepAlive);
}

void ServiceNotifier::notifyReadyWhenRunning()
{
    if (qEnvironmentVariableIsEmpty("NOTIFY_SOCKET"))
        return;
    QTimer::singleShot(0, this, &ServiceNotifier::notifyReady);
}

void ServiceNotifier::notifyReady()
{
    sd_notify(0, "READY=1");
    // sd_watchdog_enabled also checks WATCHDOG_PID, so a child the panel might start never pings
    // on its behalf. Half the interval leaves room for one late turn of the event loop, and for
    // the work that may have fallen just after one keep-alive.
    uint64_t intervalUs = 0;
    if (sd_watchdog_enabled(0, &intervalUs) > 0 && intervalUs > 0) {
        m_watchdog->start(int(qMax<uint64_t>(intervalUs / 2000, 1)));
        sd_notify(0, "WATCHDOG=1");
    }
}

// No work since the last keep-alive: none goes out, and the service manager restarts the panel
// once the interval has passed.
void ServiceNotifier::keepAlive()
{
    if (!m_worked)
        return;
    m_worked = false;
    sd_notify(0, "WATCHDOG=1");
}
