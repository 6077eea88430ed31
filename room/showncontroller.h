#pragma once

#include "bus/smalldevinfo.h"

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

    // The calls below are for a valid controller only.
    SmallDevInfo &record() const;
    // False while the controller is judged disconnected: it gets no commands until it answers again.
    bool isAnswering() const;
    // False when nothing was sent: the port is not open, its line takes no bytes, or the controller
    // does not answer. The caller then leaves its control and the record as they were. A frame that
    // never reaches the line (held for a poll's reply, or still in the port's buffer, when the port
    // hangs up) takes the record back, and the dashboard tells the person (Devices::commandDropped).
    bool sendSwitch(int code, bool on) const;
    bool sendValue(int code, int value) const;
    // Lets the dashboard's tile of this appliance follow a change of the record.
    void refreshDashboardTile(int kind) const;

private:
    int m_index;
    int m_tongdao;
};
