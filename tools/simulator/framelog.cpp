#include "framelog.h"

#include <QFileDevice>
#include <QIODevice>

FrameLog::FrameLog(QIODevice *out)
    : m_out(out)
{
    m_clock.start();
}

QString FrameLog::hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

void FrameLog::write(int channel, const char *kind, const QString &text)
{
    if (!m_out)
        return;
    const QString line = QStringLiteral("%1 ch%2 %3 %4\n")
                             .arg(double(m_clock.elapsed()) / 1000.0, 0, 'f', 3)
                             .arg(channel)
                             .arg(QLatin1String(kind), text);
    m_out->write(line.toUtf8());
    // Files buffer inside QFile; stdout goes through QFile on fd 1 as well.
    if (auto *file = qobject_cast<QFileDevice *>(m_out))
        file->flush();
}
