#include "app/servicenotifier.h"

#include <QTimer>

#include <systemd/sd-daemon.h>

ServiceNotifier::ServiceNotifier(QObject *parent)
    : QObject(parent)
{
}

void ServiceNotifier::notifyReadyWhenRunning()
{
    if (qEnvironmentVariableIsEmpty("NOTIFY_SOCKET"))
        return;
    QTimer::singleShot(0, this, &ServiceNotifier::notifyReady);
}

// sd_watchdog_enabled also checks WATCHDOG_PID, so a child the panel might start never pings on its
// behalf.
void ServiceNotifier::notifyReady()
{
    sd_notify(0, "READY=1");
    uint64_t intervalUs = 0;
    if (sd_watchdog_enabled(0, &intervalUs) > 0 && intervalUs > 0) {
        m_intervalMs = qMax<qint64>(qint64(intervalUs / 1000), 1);
        sd_notify(0, "WATCHDOG=1");
        m_sinceKeepAlive.start();
    }
}

// A tenth of the interval apart at the closest: the poll cycle's reads come once a second, and one
// keep-alive a second is plenty for a watchdog of ten. No work, no keep-alive: the service manager
// restarts the panel once the interval has passed.
void ServiceNotifier::workDone()
{
    if (m_intervalMs == 0 || m_sinceKeepAlive.elapsed() < m_intervalMs / 10)
        return;
    sd_notify(0, "WATCHDOG=1");
    m_sinceKeepAlive.restart();
}
