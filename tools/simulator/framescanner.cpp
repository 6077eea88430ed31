#include "framescanner.h"

#include <algorithm>

namespace {

constexpr char Start = char(0xAA);

// Expected bytes of a frame, position by position; -1 stands for any byte.
constexpr int PollPattern[] = {0xAA, 0x43, 0x58, -1, 0xFF};
constexpr int CommandPattern[] = {0xAA, -1, -1, -1, -1, 0x00, 0xFF};

template <int N>
bool prefixFits(const QByteArray &buffer, int start, const int (&pattern)[N], int available)
{
    for (int i = 0; i < std::min(N, available); ++i) {
        if (pattern[i] >= 0 && quint8(buffer.at(start + i)) != pattern[i])
            return false;
    }
    return true;
}

} // namespace

QVector<ScannedFrame> FrameScanner::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QVector<ScannedFrame> frames;
    while (!m_buffer.isEmpty()) {
        const int start = m_buffer.indexOf(Start);
        if (start != 0) {
            takeJunk(start < 0 ? m_buffer.size() : start, frames);
            continue;
        }
        const Candidate candidate = matchAt(0);
        if (candidate.match == Match::Complete) {
            frames.append({candidate.kind, m_buffer.left(candidate.size)});
            m_buffer.remove(0, candidate.size);
        } else if (candidate.match == Match::None) {
            takeJunk(1, frames);
        } else {
            // A start byte that never got its frame must not hold back a whole frame behind it.
            const int later = laterCompleteFrameStart();
            if (later < 0)
                break;
            takeJunk(later, frames);
        }
    }
    return frames;
}

FrameScanner::Candidate FrameScanner::matchAt(int start) const
{
    const Candidate poll = matchPollAt(start);
    if (poll.match == Match::Complete)
        return poll;
    const Candidate command = matchCommandAt(start);
    if (command.match == Match::Complete)
        return command;
    if (poll.match == Match::Incomplete || command.match == Match::Incomplete)
        return {Match::Incomplete};
    return {Match::None};
}

FrameScanner::Candidate FrameScanner::matchPollAt(int start) const
{
    const int available = m_buffer.size() - start;
    if (!prefixFits(m_buffer, start, PollPattern, available))
        return {Match::None};
    return {available >= PollSize ? Match::Complete : Match::Incomplete, ScannedFrame::Poll, PollSize};
}

FrameScanner::Candidate FrameScanner::matchCommandAt(int start) const
{
    const int available = m_buffer.size() - start;
    if (!prefixFits(m_buffer, start, CommandPattern, available))
        return {Match::None};
    return {available >= CommandSize ? Match::Complete : Match::Incomplete, ScannedFrame::Command, CommandSize};
}

int FrameScanner::laterCompleteFrameStart() const
{
    for (int i = m_buffer.indexOf(Start, 1); i >= 0; i = m_buffer.indexOf(Start, i + 1)) {
        if (matchAt(i).match == Match::Complete)
            return i;
    }
    return -1;
}

void FrameScanner::takeJunk(int count, QVector<ScannedFrame> &out)
{
    // Consecutive noise reads as one piece in the log.
    if (!out.isEmpty() && out.last().kind == ScannedFrame::Junk)
        out.last().bytes.append(m_buffer.left(count));
    else
        out.append({ScannedFrame::Junk, m_buffer.left(count)});
    m_buffer.remove(0, count);
}
