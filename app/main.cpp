#include "app/alarmjournal.h"
#include "app/cleanstop.h"
#include "app/mainwindow.h"
#include "app/servicenotifier.h"
#include "remote/remotelink.h"
#include "remote/remotesettings.h"
#include "screens/buscontrol.h"
#include "screens/devices.h"

#include <QApplication>
#include <QTextCodec>
#include <QTimer>

int main(int argc, char **argv)
{
    // Captions built at run time are UTF-8; the codec must be in place before anything converts text.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QApplication app(argc, argv);
    CleanStop cleanStop;
    AlarmJournal alarmJournal;
    MainWindow::getInstance()->show();
    // Without a local broker the panel is what it always was; the link keeps trying quietly.
    if (RemoteSettings::isWanted()) {
        const QString panelId = RemoteSettings::panelId();
        qInfo("remote link: panel id %s, broker %s", qPrintable(panelId), qPrintable(RemoteSettings::socketPath()));
        (new RemoteLink(RemoteSettings::socketPath(), panelId, MainWindow::getInstance()))->start();
    }
    // The buses are polled from start-up, whatever is on the screen: the bus control screen owns the
    // poll cycle, so it is made now, hidden. The watchdog vouches for that cycle.
    ServiceNotifier notifier;
    QObject::connect(BusControl::getInstance(), &BusControl::readsCompleted, &notifier, &ServiceNotifier::workDone);
    // The dashboard and the appliance screens come with the first verdict at the latest; made before
    // READY=1, after the start picture's first paint is queued, their cost (seconds on a slow board)
    // falls under the start timeout, not the watchdog.
    QTimer::singleShot(0, &notifier, [&notifier] {
        Devices::createScreens();
        notifier.notifyReadyWhenRunning();
    });
    return app.exec();
}
