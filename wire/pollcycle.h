#pragma once

#include "wire/linkstate.h"

#include <QByteArray>

// One channel's turn through its controllers, poll by poll: which controller is polled, how many of
// its polls went unanswered, and what a read means. The bus control screen keeps the state in its
// tables and applies the outcome to them and to the tiles; nothing here needs a screen.
namespace PollCycle {

// Polls a controller may leave unanswered before it is declared disconnected.
constexpr int MaxUnansweredPolls = 2;

// Before a channel's poll: the turn moves on when the last poll was answered (but not before the
// channel's first poll, which goes to the controller the turn holds), and the poll about to go out
// is counted. Returns how many polls of the controller were unanswered before this one.
int startPoll(int &index, int &unanswered, bool &started);

struct Outcome
{
    // LinkRequesting: nothing to show yet, the poll stays pending.
    LinkState state = LinkRequesting;
    unsigned char alarm = 0;
    // A full reply to copy into the controller's record.
    bool storeRecord = false;
    // The controller's stored alarm byte becomes `alarm`.
    bool storeAlarm = false;
};

// What the read after a poll of `index` means. An answer or a verdict clears the unanswered count;
// silence and noise leave it, until the third unanswered poll makes the controller disconnected.
Outcome judgeRead(const QByteArray &read, int index, int &unanswered);

} // namespace PollCycle
