#include "paneltest.h"

#include "app/serialports.h"

#include <QTextCodec>

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

} // namespace PanelTest
