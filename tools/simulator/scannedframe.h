#pragma once

#include <QByteArray>

// A piece of a channel's incoming byte stream, as the scanner cut it.
struct ScannedFrame
{
    enum Kind {
        Poll,    // AA 43 58 addr FF
        Command, // AA idx code sw val 00 FF
        Junk,    // bytes that belong to no frame
    };

    Kind kind = Junk;
    QByteArray bytes;

    quint8 at(int i) const { return quint8(bytes.at(i)); }
    quint8 pollAddress() const { return at(3); }
    quint8 commandIndex() const { return at(1); }
    quint8 commandCode() const { return at(2); }
    quint8 commandSwitch() const { return at(3); }
    quint8 commandValue() const { return at(4); }
};
