#pragma once

#include "bus/smalldevinfo.h"

// The controller the dashboard shows, read afresh for every action: the appliance screens keep no
// controller of their own.
class ShownController
{
public:
    ShownController(int index, int tongdao)
        : index(index)
        , tongdao(tongdao)
    {
    }

    // False while the dashboard shows none (-1), and for anything off the buses, so that no table
    // is ever indexed out of bounds.
    bool isValid() const { return isController(index, tongdao); }

    // The calls below are for a valid controller only.
    SmallDevInfo &record() const;
    // False when the frame could not leave; the caller then leaves its switch and the record alone.
    bool sendSwitch(int code, bool on) const;
    // Lets the dashboard's tile of this appliance follow a change of the record.
    void refreshDashboardTile(int kind) const;

private:
    int index;
    int tongdao;
};
