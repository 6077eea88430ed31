#include "screens/showncontroller.h"

#include "bus/devicetables.h"
#include "screens/devices.h"
#include "screens/shared/commandnotice.h"

ShownController ShownController::current()
{
    return {Devices::getIndex(), Devices::getTongdao()};
}

SmallDevInfo &ShownController::record() const
{
    return smallDevInfos[m_tongdao][m_index];
}

CommandResult ShownController::switchAppliance(int code, bool on, QWidget *screen) const
{
    if (!isValid())
        return CommandResult::NoController;
    return settle(Commands::instance()->sendSwitch(m_tongdao, m_index, code, on), screen);
}

CommandResult ShownController::setValue(int code, int value, QWidget *screen) const
{
    if (!isValid())
        return CommandResult::NoController;
    return settle(Commands::instance()->sendValue(m_tongdao, m_index, code, value), screen);
}

CommandResult ShownController::settle(CommandResult result, QWidget *screen) const
{
    if (isRefused(result))
        showCommandNotSent(screen, m_tongdao, m_index);
    else
        showRecordChanged(screen);
    return result;
}

void ShownController::showRecordChanged(const QWidget *changedBy) const
{
    Devices::updateItems_sub(m_index, m_tongdao, Devices::AllTiles);
    Devices::updateAllSubDevs(changedBy);
}
