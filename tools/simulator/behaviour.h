#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// How a simulated controller answers a poll request.
enum class Behaviour {
    Full,        // 31-byte status reply
    Short,       // BB idx alarm FF
    Silent,      // no answer at all
    BadChecksum, // full reply with a wrong last byte
    Truncated,   // full reply cut short
    WrongIndex,  // full reply carrying another controller's index
    Garbage,     // random bytes
    Split,       // full reply in two writes with a gap
    Slow,        // full reply after a delay
    Random,      // seeded mix of all of the above, for soak runs
    Babble,      // no answer, but a stream of random bytes at the line's rate, polled or not
};

QString behaviourName(Behaviour behaviour);
std::optional<Behaviour> behaviourFromName(const QString &name);
QStringList behaviourNames();
