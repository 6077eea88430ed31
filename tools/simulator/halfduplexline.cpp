#include "halfduplexline.h"

#include <algorithm>

HalfDuplexLine::HalfDuplexLine(int turnaroundMs)
    : m_turnaroundMs(turnaroundMs)
{
}

HalfDuplexLine::Span HalfDuplexLine::panelSends(qint64 arrivedNs, int byteCount)
{
    const qint64 start = std::max(arrivedNs, m_panelBusyUntilNs);
    m_panelBusyUntilNs = start + byteCount * ByteNs;
    return {start, m_panelBusyUntilNs};
}

HalfDuplexLine::Span HalfDuplexLine::bytesOf(const Span &span, int fromByte, int toByte)
{
    return {span.startNs + fromByte * ByteNs, span.startNs + toByte * ByteNs};
}

bool HalfDuplexLine::overlapsReply(const Span &span) const
{
    return span.startNs < m_reply.endNs && span.endNs > m_reply.startNs;
}

void HalfDuplexLine::pollEnded(qint64 pollEndNs)
{
    m_reply = {pollEndNs, pollEndNs};
}

qint64 HalfDuplexLine::bookReply(qint64 delayNs, int byteCount)
{
    const qint64 end = m_reply.startNs + m_turnaroundMs * 1000000LL + delayNs + byteCount * ByteNs;
    m_reply.endNs = std::max(m_reply.endNs, end);
    return end;
}
