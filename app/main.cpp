#include "app/cleanstop.h"
#include "app/mainwindow.h"
#include "app/servicenotifier.h"

#include <QApplication>
#include <QTextCodec>

int main(int argc, char **argv)
{
    // Captions built at run time are UTF-8; the codec must be in place before anything converts text.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QApplication app(argc, argv);
    CleanStop cleanStop;
    MainWindow::getInstance()->show();
    ServiceNotifier notifier;
    notifier.notifyReadyWhenRunning();
    return app.exec();
}
