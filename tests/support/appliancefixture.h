#pragma once

#include "busterminals.h"

#include "bus/devicetables.h"

#include <QByteArray>
#include <QString>

class QWidget;

// What the appliance suites share: the main window on four pseudo-terminal buses, the five appliance
// screens by class name, and the dashboard's controller chosen for them.
class ApplianceFixture
{
public:
    // Builds the main window on the terminals with the log captured. Call once, from initTestCase(),
    // before anything else asks for a screen.
    bool start();
    // The same, then the suite's own screen built and shown.
    template <typename Screen>
    bool start(Screen *&screen)
    {
        if (!start())
            return false;
        screen = Screen::getInstance();
        return show(screen);
    }
    // Before each test: the tables as at start-up, no controller on the dashboard, nothing pending on
    // the buses, an empty log.
    void reset();

    // The appliance screen of that class, built on first use; null for any other name.
    static QWidget *screen(const QString &className);
    static bool exists(const QString &className);
    static bool show(QWidget *screen);

    // The dashboard's controller, as a tile touch leaves it: the screens read it for every action.
    static void select(int index, int tongdao);
    // Selects the controller, gives it `record` and has `screen` load it, as the dashboard does
    // before showing the screen.
    template <typename Screen>
    static void showRecord(Screen *screen, int tongdao, int index, const SmallDevInfo &record)
    {
        select(index, tongdao);
        smallDevInfos[tongdao][index] = record;
        screen->updateItems();
    }

    // The next `size` bytes of one channel, waiting for them a little.
    QByteArray read(int tongdao, int size) { return buses.read(tongdao, size); }
    // Whatever arrives on any channel within a short window: empty when nothing was sent.
    QByteArray anySent() { return buses.anySent(); }

    // AA index code 01|02 00 00 FF.
    static QByteArray switchFrame(int index, int code, bool on);
    // The state tables as they are, with one byte of one record set: all a command on that field may
    // change.
    static QByteArray tablesWith(int tongdao, int index, int fieldOffset, unsigned char value);

    BusTerminals buses;
};
