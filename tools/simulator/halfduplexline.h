#pragma once

#include <QtGlobal>

// Time on one shared bus where only one side may talk at a time, at 9600 baud. Times are in
// nanoseconds on the simulator's clock. The panel's bytes go out one after another, each taking its
// transmission time; a controller starts its reply a turnaround after the poll has ended, and the
// reply holds the line until its last byte is through. From the end of the poll to that moment the
// reply is due, and anything else the panel sends meanwhile garbles both.
class HalfDuplexLine
{
public:
    // Start bit, 8 data bits, stop bit.
    static constexpr qint64 ByteNs = 1000000000LL * 10 / 9600;
    static constexpr int DefaultTurnaroundMs = 3;

    struct Span
    {
        qint64 startNs = 0;
        qint64 endNs = 0;
    };

    explicit HalfDuplexLine(int turnaroundMs = DefaultTurnaroundMs);

    int turnaroundMs() const { return m_turnaroundMs; }

    // The line time of panel bytes that reached the simulator at arrivedNs: they follow whatever of
    // the panel's is still on the line, as its serial port sends them in order.
    Span panelSends(qint64 arrivedNs, int byteCount);
    // The part of a span `fromByte` to `toByte` bytes into it.
    static Span bytesOf(const Span &span, int fromByte, int toByte);
    bool overlapsReply(const Span &span) const;

    // A poll ended at pollEndNs: a new reply window opens there, empty until a reply is booked.
    void pollEnded(qint64 pollEndNs);
    // Books one write of the reply, `delayNs` later than the turnaround; returns when its last byte
    // is through, which is when the panel has it.
    qint64 bookReply(qint64 delayNs, int byteCount);

private:
    int m_turnaroundMs = DefaultTurnaroundMs;
    qint64 m_panelBusyUntilNs = 0;
    Span m_reply; // empty (start == end) while no reply is due
};
