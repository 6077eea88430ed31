#include "wire/pollcycle.h"

#include "wire/smalldevinfo.h"
#include "wire/wire.h"

namespace PollCycle {

int startPoll(int &index, int &unanswered, bool &started)
{
    if (started && unanswered == 0)
        index = (index + 1) % DevicesPerChannel;
    started = true;
    return unanswered++;
}

Outcome judgeRead(const QByteArray &read, int index, int &unanswered)
{
    const Wire::ReplyVerdict verdict = Wire::classifyReply(read, index);
    Outcome outcome;
    switch (verdict.kind) {
    case Wire::ReplyKind::FullReply:
        outcome.storeRecord = true;
        outcome.storeAlarm = true;
        Q_FALLTHROUGH();
    case Wire::ReplyKind::ShortReply:
        outcome.state = verdict.alarm != 0 ? LinkAlarm : LinkNormal;
        outcome.alarm = verdict.alarm;
        unanswered = 0;
        break;
    case Wire::ReplyKind::BrokenFullReply:
        outcome.state = LinkOffline;
        outcome.storeAlarm = true;
        unanswered = 0;
        break;
    case Wire::ReplyKind::Nothing:
    case Wire::ReplyKind::Unacceptable:
        // Noise counts as silence, so a babbling line cannot hold the turn for ever.
        if (unanswered > MaxUnansweredPolls) {
            outcome.state = LinkOffline;
            outcome.storeAlarm = true;
            unanswered = 0;
        }
        break;
    }
    return outcome;
}

} // namespace PollCycle
