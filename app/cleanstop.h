#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP end the event loop, so that the panel exits 0 after closing its bus
// ports: systemctl stop, restart and package upgrades then leave the service inactive rather than
// failed, and the ports' lock files go with the ports. A crash or the watchdog's abort still fails.
// Construct it after the application: Qt's linuxfb console handler installs its own SIGTERM and
// SIGINT handlers, which exit 1, and the handlers installed last win.
class CleanStop : public QObject
{
    Q_OBJECT

public:
    explicit CleanStop(QObject *parent = nullptr);
    ~CleanStop() override;

private:
    static void handleSignal(int signal);
    void stop();

    QSocketNotifier *m_notifier = nullptr;
};
