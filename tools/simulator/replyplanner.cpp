#include "replyplanner.h"

#include "controllerstate.h"

#include <array>

namespace {

// Weights of the random mix: mostly good answers, so that the panel still has state to show.
struct Weighted
{
    Behaviour behaviour;
    int weight;
};
constexpr std::array<Weighted, 9> randomMix{{
    {Behaviour::Full, 40},
    {Behaviour::Short, 10},
    {Behaviour::Silent, 10},
    {Behaviour::BadChecksum, 6},
    {Behaviour::Truncated, 6},
    {Behaviour::WrongIndex, 6},
    {Behaviour::Garbage, 8},
    {Behaviour::Split, 7},
    {Behaviour::Slow, 7},
}};

constexpr int MaxGarbage = 40;

} // namespace

QVector<ReplyChunk> ReplyPlanner::plan(const ControllerState &controller, quint8 index)
{
    if (controller.behaviour() == Behaviour::Random)
        return planFor(pickForRandom(), controller, index, true);
    return planFor(controller.behaviour(), controller, index, false);
}

QVector<ReplyChunk> ReplyPlanner::planFor(Behaviour behaviour, const ControllerState &controller, quint8 index,
                                          bool randomised)
{
    const QByteArray full = controller.fullReply(index);
    switch (behaviour) {
    case Behaviour::Full:
        return {{0, full}};
    case Behaviour::Short:
        return {{0, ControllerState::shortReply(index, controller.alarm())}};
    case Behaviour::Silent:
    case Behaviour::Random:
    case Behaviour::Babble: // its stream never stops, so it answers nothing in particular
        return {};
    case Behaviour::BadChecksum: {
        QByteArray bad = full;
        bad[ControllerState::FullReplySize - 1] = char(quint8(bad.back()) + 1);
        return {{0, bad}};
    }
    case Behaviour::Truncated: {
        const int size = randomised ? m_random.bounded(3, TruncatedSize + 1) : TruncatedSize;
        return {{0, full.left(size)}};
    }
    case Behaviour::WrongIndex:
        return {{0, controller.fullReply(quint8((index + 1) % 4))}};
    case Behaviour::Garbage:
        return {{0, randomBytes(m_random.bounded(1, MaxGarbage + 1))}};
    case Behaviour::Split: {
        const int cut = randomised ? m_random.bounded(1, ControllerState::FullReplySize)
                                   : ControllerState::FullReplySize / 2;
        return {{0, full.left(cut)}, {controller.delayMs(), full.mid(cut)}};
    }
    case Behaviour::Slow:
        return {{controller.delayMs(), full}};
    }
    return {};
}

Behaviour ReplyPlanner::pickForRandom()
{
    int total = 0;
    for (const Weighted &entry : randomMix)
        total += entry.weight;
    int pick = m_random.bounded(total);
    for (const Weighted &entry : randomMix) {
        if (pick < entry.weight)
            return entry.behaviour;
        pick -= entry.weight;
    }
    return Behaviour::Full;
}

QByteArray ReplyPlanner::randomBytes(int count)
{
    QByteArray bytes(count, char(0));
    for (char &byte : bytes)
        byte = char(m_random.bounded(256));
    return bytes;
}
