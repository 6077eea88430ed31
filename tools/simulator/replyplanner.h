#pragma once

#include "behaviour.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QVector>

class ControllerState;

// One write of a reply, due delayMs after the poll that asked for it.
struct ReplyChunk
{
    int delayMs = 0;
    QByteArray bytes;
};

// Turns a controller's behaviour into the writes that answer one poll. Everything random
// comes from one seeded generator, so a soak run can be repeated byte for byte.
class ReplyPlanner
{
public:
    explicit ReplyPlanner(quint32 seed = 1)
        : m_random(seed)
    {
    }

    QVector<ReplyChunk> plan(const ControllerState &controller, quint8 index);

    // Random bytes, for a babbling controller.
    QByteArray noise(int count) { return randomBytes(count); }

    static constexpr int TruncatedSize = 30;

private:
    Behaviour pickForRandom();
    QByteArray randomBytes(int count);
    QVector<ReplyChunk> planFor(Behaviour behaviour, const ControllerState &controller, quint8 index, bool randomised);

    QRandomGenerator m_random;
};
