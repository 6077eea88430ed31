#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

class QIODevice;

// One line per frame, flushed at once so that a test can follow the file while it grows:
//   <seconds since start, 3 decimals> ch<c> <rx|tx|junk|collision|event> <upper-case hex or text>
class FrameLog
{
public:
    explicit FrameLog(QIODevice *out);

    void received(int channel, const QByteArray &bytes) { write(channel, "rx", hex(bytes)); }
    void sent(int channel, const QByteArray &bytes) { write(channel, "tx", hex(bytes)); }
    void junk(int channel, const QByteArray &bytes) { write(channel, "junk", hex(bytes)); }
    void collision(int channel, const QByteArray &bytes) { write(channel, "collision", hex(bytes)); }
    void event(int channel, const QString &text) { write(channel, "event", text); }

    static QString hex(const QByteArray &bytes);

private:
    void write(int channel, const char *kind, const QString &text);

    QIODevice *m_out = nullptr;
    QElapsedTimer m_clock;
};
