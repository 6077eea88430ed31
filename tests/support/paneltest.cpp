#include "paneltest.h"

#include "bus/serialports.h"
#include "bus/buscontrol.h"

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

} // namespace PanelTest
