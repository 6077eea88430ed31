#pragma once

#include "bus/commands.h"
#include "wire/smalldevinfo.h"

class QWidget;

// The controller the dashboard shows, read afresh for every action: the appliance screens keep no
// controller of their own. The one way the screens reach a controller's record and its bus.
class ShownController
{
public:
    ShownController(int index, int tongdao)
        : m_index(index)
        , m_tongdao(tongdao)
    {
    }

    // The dashboard's controller at this moment.
    static ShownController current();

    // False while the dashboard shows none (-1), and for anything off the buses, so that no table
    // is ever indexed out of bounds.
    bool isValid() const { return isController(m_index, m_tongdao); }
    int index() const { return m_index; }
    int tongdao() const { return m_tongdao; }

    // The record of a valid controller.
    SmallDevInfo &record() const;

    // The one path from a touch to an appliance: the command goes to the bus, and when it is not
    // refused the dashboard's tiles and the open appliance screens show it. Refused (no port, or the
    // controller does not answer), nothing changes and the person is told on `screen`; the caller
    // puts its control back. With no controller shown nothing is sent (NoController).
    CommandResult switchAppliance(int code, bool on, QWidget *screen) const;
    CommandResult setValue(int code, int value, QWidget *screen) const;

    // Lets the dashboard's tiles and the open appliance screens other than `changedBy` follow a
    // change of the record.
    void showRecordChanged(const QWidget *changedBy) const;

    // The screen whose touch is sending a command at this moment; nullptr for a command from
    // elsewhere (the remote link), which every screen follows.
    static const QWidget *screenSending();

private:
    CommandResult settle(CommandResult result, QWidget *screen) const;

    int m_index;
    int m_tongdao;
};
