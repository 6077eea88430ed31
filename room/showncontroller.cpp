#include "room/showncontroller.h"

#include "app/mainwindow.h"
#include "bus/devicetables.h"
#include "room/devices.h"

ShownController ShownController::current()
{
    return {Devices::getIndex(), Devices::getTongdao()};
}

SmallDevInfo &ShownController::record() const
{
    return smallDevInfos[m_tongdao][m_index];
}

bool ShownController::sendSwitch(int code, bool on) const
{
    return MainWindow::getInstance()->sendLightOpen(m_tongdao, m_index, code, on);
}

bool ShownController::sendValue(int code, int value) const
{
    return MainWindow::getInstance()->sendLight(m_tongdao, m_index, code, value);
}

void ShownController::refreshDashboardTile(int kind) const
{
    Devices::updateItems_sub(m_index, m_tongdao, kind);
}
