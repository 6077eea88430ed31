#include "screens/showncontroller.h"

#include "bus/devicetables.h"
#include "screens/devices.h"
#include "screens/shared/commandnotice.h"

#include <QScopedValueRollback>

namespace {
const QWidget *sendingScreen = nullptr;
}

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
    const QScopedValueRollback<const QWidget *> sending(sendingScreen, screen);
    return settle(Commands::instance()->sendSwitch(m_tongdao, m_index, code, on), screen);
}

CommandResult ShownController::setValue(int code, int value, QWidget *screen) const
{
    if (!isValid())
        return CommandResult::NoController;
    const QScopedValueRollback<const QWidget *> sending(sendingScreen, screen);
    return settle(Commands::instance()->sendValue(m_tongdao, m_index, code, value), screen);
}

// What was not refused the screens already show: Devices follows Commands::applied.
CommandResult ShownController::settle(CommandResult result, QWidget *screen) const
{
    if (isRefused(result))
        showCommandNotSent(screen, m_tongdao, m_index);
    return result;
}

void ShownController::showRecordChanged(const QWidget *changedBy) const
{
    Devices::updateItems_sub(m_index, m_tongdao, Devices::AllTiles);
    Devices::updateAllSubDevs(changedBy);
}

const QWidget *ShownController::screenSending()
{
    return sendingScreen;
}
