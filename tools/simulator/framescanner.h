#pragma once

#include "scannedframe.h"

#include <QByteArray>
#include <QVector>

// Cuts poll requests and command frames out of a byte stream that may arrive in pieces
// and carry noise between frames.
class FrameScanner
{
public:
    static constexpr int PollSize = 5;
    static constexpr int CommandSize = 7;

    // Everything the new bytes complete, in stream order; an unfinished frame waits.
    QVector<ScannedFrame> feed(const QByteArray &bytes);
    const QByteArray &pending() const { return m_buffer; }

private:
    enum class Match { Complete, Incomplete, None };
    struct Candidate
    {
        Match match = Match::None;
        ScannedFrame::Kind kind = ScannedFrame::Junk;
        int size = 0;
    };

    Candidate matchAt(int start) const;
    Candidate matchPollAt(int start) const;
    Candidate matchCommandAt(int start) const;
    int laterCompleteFrameStart() const;
    void takeJunk(int count, QVector<ScannedFrame> &out);

    QByteArray m_buffer;
};
