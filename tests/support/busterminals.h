#pragma once

#include "pseudoterminal.h"
#include "wire/smalldevinfo.h"

#include <QByteArray>

#include <memory>

// Four pseudo-terminals in place of the buses, for tests that read the frames the screens send.
class BusTerminals
{
public:
    BusTerminals();

    // Points the bus device files at the terminals and builds the main window on them. Call once,
    // before anything else asks for the main window.
    bool openMainWindow();

    PseudoTerminal &channel(int tongdao) { return *terminals[tongdao]; }
    // The next `size` bytes of one channel, waiting for them a little.
    QByteArray read(int tongdao, int size) { return channel(tongdao).read(size); }
    // Everything that arrives on any channel within a short window: empty when nothing was sent.
    QByteArray anySent();
    void discardPending();

private:
    std::unique_ptr<PseudoTerminal> terminals[ChannelCount];
};

// The state tables as bytes, to see that an action left every record alone.
QByteArray deviceTablesSnapshot();
