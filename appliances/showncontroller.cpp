#include "appliances/showncontroller.h"

#include "app/mainwindow.h"
#include "bus/devicetables.h"
#include "room/devices.h"

SmallDevInfo &ShownController::record() const
{
    return smallDevInfos[tongdao][index];
}

bool ShownController::sendSwitch(int code, bool on) const
{
    return MainWindow::getInstance()->sendLightOpen(tongdao, index, code, on);
}

void ShownController::refreshDashboardTile(int kind) const
{
    Devices::updateItems_sub(index, tongdao, kind);
}
