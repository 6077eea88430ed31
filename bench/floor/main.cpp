#include "floorwindow.h"

#include <QApplication>

// panel-floor [--frame-to DEVICE]
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int option = arguments.indexOf(QStringLiteral("--frame-to"));
    const QString frameDevice = option > 0 && option + 1 < arguments.size() ? arguments.at(option + 1) : QString();
    FloorWindow window(frameDevice);
    window.show();
    return app.exec();
}
