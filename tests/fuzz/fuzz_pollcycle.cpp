// Arbitrary bytes as the reads of the four buses, tick after tick, through the poll cycle alone: the
// turn, the unanswered count, the verdicts and what is stored, applied to tables of this target's own
// as the bus control screen applies them. No application object and no screen, so it runs at the
// speed of the rules themselves. After every read the state is checked against the reply model.
//
// Input: as fuzz_replies reads it, so that both share their seeds: byte 0 (the shown controller there)
// is skipped; then one step per tick: a byte whose bits 0-3 say which channels' reads carry bytes;
// then, per channel in the mask, a length byte and that many bytes (cut at the input's end).

#include "wire/pollcycle.h"
#include "wire/smalldevinfo.h"
#include "wire/wire.h"

#include "replymodel.h"

#include <array>
#include <cstring>

using namespace ReplyModel;

namespace {

struct Channel
{
    int index = DevicesPerChannel - 1; // the first tick polls controller 0, as after controller 3
    int unanswered = 0;
    bool started = true;
    SmallDevInfo records[DevicesPerChannel] = {};
    unsigned char alarms[DevicesPerChannel] = {};
    LinkState shown[DevicesPerChannel] = {};
};

constexpr int MaxTicks = 64;

void checkRead(const Channel &before, const Channel &after, const PollCycle::Outcome &outcome, const QByteArray &read,
               int channel)
{
    const int polled = before.index;
    const Verdict verdict = judge(read, polled);
    const bool quiet = verdict == Verdict::Silence || verdict == Verdict::Noise;
    const bool offline = verdict == Verdict::Broken || (quiet && before.unanswered > 2);
    const bool answered = verdict == Verdict::Short || verdict == Verdict::Full;
    const unsigned char alarm = answered ? static_cast<unsigned char>(read.at(2)) : 0;

    check(after.index == polled, "a read moved the turn", channel, polled);
    check(after.unanswered == (quiet && !offline ? before.unanswered : 0), "the unanswered count is wrong", channel,
          polled);
    check(after.unanswered >= 0 && after.unanswered <= 3, "the unanswered count left 0..3", channel, polled);

    const LinkState expectedState = offline ? LinkOffline
        : answered                          ? (alarm ? LinkAlarm : LinkNormal)
                                            : LinkRequesting;
    check(outcome.state == expectedState, "the verdict does not follow the read", channel, polled);
    check(!answered || outcome.alarm == alarm, "the alarm shown is not the read's", channel, polled);

    for (int index = 0; index < DevicesPerChannel; ++index) {
        const bool mayChange = index == polled && verdict == Verdict::Full;
        if (!mayChange)
            check(std::memcmp(&before.records[index], &after.records[index], sizeof(SmallDevInfo)) == 0,
                  "a record changed without an acceptable full reply of its own", channel, index);
        unsigned char expectedAlarm = before.alarms[index];
        if (index == polled && verdict == Verdict::Full)
            expectedAlarm = alarm;
        else if (index == polled && offline)
            expectedAlarm = 0;
        check(after.alarms[index] == expectedAlarm, "an alarm byte changed wrongly", channel, index);
    }
    if (verdict == Verdict::Full) {
        const auto expected = expectedRecord(read);
        check(std::memcmp(expected.data(), &after.records[polled], 28) == 0,
              "a full reply was stored in the wrong fields", channel, polled);
    }
}

// What the bus control screen does with an outcome, on this target's own tables.
void apply(Channel &state, const PollCycle::Outcome &outcome, const QByteArray &read)
{
    if (outcome.storeAlarm)
        state.alarms[state.index] = outcome.alarm;
    if (outcome.storeRecord)
        Wire::copyFullReply(read, state.records[state.index]);
    if (outcome.state != LinkRequesting)
        state.shown[state.index] = outcome.state;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input input(data, size);
    std::array<Channel, ChannelCount> channels;
    input.next();
    for (int tick = 0; tick < MaxTicks && !input.atEnd(); ++tick) {
        const unsigned char step = input.next();
        for (int channel = 0; channel < ChannelCount; ++channel) {
            Channel &state = channels[channel];
            const int before = state.index;
            const int earlier = PollCycle::startPoll(state.index, state.unanswered, state.started);
            check(state.index == (earlier == 0 ? (before + 1) % DevicesPerChannel : before),
                  "the turn moved on an unanswered poll or stayed after an answer", channel, state.index);
            check(state.unanswered == earlier + 1 && state.unanswered <= 3, "the poll was not counted", channel,
                  state.index);

            const QByteArray read = step & (1 << channel) ? input.take(input.next()) : QByteArray();
            const Channel snapshot = state;
            const PollCycle::Outcome outcome = PollCycle::judgeRead(read, state.index, state.unanswered);
            apply(state, outcome, read);
            checkRead(snapshot, state, outcome, read, channel);
        }
    }
    return 0;
}
