#include "paneltest.h"

#include <QWidget>

#include "bus/serialports.h"
#include "screens/buscontrol.h"

#include <QTextCodec>
#include <QTimer>

namespace PanelTest {

void prepareApplication()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

void useMissingPorts()
{
    for (int channel = 0; channel < ChannelCount; ++channel)
        serialDeviceFiles[channel] = QStringLiteral("/nonexistent/ttyS%1").arg(channel);
}

void createQuietBusControl()
{
    if (auto *pollTimer = BusControl::getInstance()->findChild<QTimer *>(QStringLiteral("pollTimer")))
        pollTimer->stop();
}

QString applianceWindowMismatch(const QWidget *screen, const QString &title)
{
    const Qt::WindowFlags frame = Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint;
    if (!screen->isWindow() || (screen->windowFlags() & frame) != frame)
        return QStringLiteral("not its own window with only a close button");
    if (screen->pos() != QPoint(560, 140) || screen->size() != QSize(800, 800))
        return QStringLiteral("not 800x800 at (560, 140)");
    if (screen->windowTitle() != title)
        return QStringLiteral("titled \"%1\"").arg(screen->windowTitle());
    return QString();
}

} // namespace PanelTest
