#pragma once

#include "wire/smalldevinfo.h"
#include "wire/wire.h"

#include <QByteArray>

// Replies and frames as the controllers put them on the wire, built for tests. Header-only, so that
// the wire format's own suite uses them without a screen.
namespace Replies {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A full status reply of `index` with `alarm` and the 27 data bytes 3..29 all `fill`, checksum right.
inline QByteArray fullReply(int index, unsigned char alarm, unsigned char fill = 0)
{
    QByteArray reply(Wire::FullReplySize, char(fill));
    reply[0] = char(0xCC);
    reply[1] = char(index);
    reply[2] = char(alarm);
    reply[30] = char(Wire::fullReplyChecksum(reply));
    return reply;
}

// A full status reply that reports `record`, in the reply's own byte order.
inline QByteArray fullReply(int index, unsigned char alarm, const SmallDevInfo &record)
{
    QByteArray reply = fullReply(index, alarm);
    const unsigned char data[27] = {
        record.lightbeltOn,
        record.lightbeltBright,
        record.lightbeltExt[0],
        record.lightbeltExt[1],
        record.spotOn,
        record.spotBright,
        record.spotExt[0],
        record.spotExt[1],
        record.mainOn,
        record.mainBright,
        record.mainExt[0],
        record.mainExt[1],
        record.curtainOn,
        record.curtainExt,
        record.tvOn,
        record.tvBright,
        record.tvVol,
        record.tvExt,
        record.airOn,
        static_cast<unsigned char>(record.airNibbleHi << 4 | (record.airNibbleLo & 0x0F)),
        record.airTemp,
        record.airSpeed,
        record.airExt,
        record.windOn,
        record.windExt[0],
        record.windExt[1],
        record.windExt[2],
    };
    for (int position = 0; position < 27; ++position)
        reply[3 + position] = char(data[position]);
    reply[30] = char(Wire::fullReplyChecksum(reply));
    return reply;
}

} // namespace Replies
