#include "wire/wire.h"

namespace Wire {

namespace {
constexpr unsigned char SwitchOn = 1;
constexpr unsigned char SwitchOff = 2;
}

CommandFrame initialCommandFrame()
{
    return {FrameStart, 0x01, 0x01, 0x00, 0x00, 0x00, FrameEnd};
}

// Bytes 0, 5 and 6 never change, so only the four payload bytes are written.
void fillSwitchCommand(CommandFrame &frame, int index, int code, bool on)
{
    frame[1] = static_cast<unsigned char>(index);
    frame[2] = static_cast<unsigned char>(code);
    frame[3] = on ? SwitchOn : SwitchOff;
    frame[4] = 0;
}

void fillValueCommand(CommandFrame &frame, int index, int code, int value)
{
    frame[1] = static_cast<unsigned char>(index);
    frame[2] = static_cast<unsigned char>(code);
    frame[3] = 0;
    frame[4] = static_cast<unsigned char>(value & 0xFF);
}

QByteArray toBytes(const CommandFrame &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), CommandFrameSize);
}

QByteArray pollRequest(unsigned char address)
{
    const char request[PollRequestSize] = {char(FrameStart), 0x43, 0x58, char(address), char(FrameEnd)};
    return QByteArray(request, PollRequestSize);
}

namespace {
unsigned char byteAt(const QByteArray &bytes, int position)
{
    return static_cast<unsigned char>(bytes.at(position));
}

bool isShortReplyOf(const QByteArray &bytes, int polledIndex)
{
    return bytes.size() >= ShortReplySize && byteAt(bytes, 0) == ShortReplyStart && byteAt(bytes, 3) == FrameEnd
        && byteAt(bytes, 1) == polledIndex;
}

bool isFullReplyOf(const QByteArray &bytes, int polledIndex)
{
    return bytes.size() >= 2 && byteAt(bytes, 0) == FullReplyStart && byteAt(bytes, 1) == polledIndex;
}
} // namespace

ReplyVerdict classifyReply(const QByteArray &bytes, int polledIndex)
{
    if (bytes.isEmpty())
        return {ReplyKind::Nothing, 0};
    if (isShortReplyOf(bytes, polledIndex))
        return {ReplyKind::ShortReply, byteAt(bytes, 2)};
    if (isFullReplyOf(bytes, polledIndex)) {
        const bool intact = bytes.size() >= FullReplySize && fullReplyChecksum(bytes) == byteAt(bytes, 30);
        if (intact)
            return {ReplyKind::FullReply, byteAt(bytes, 2)};
        return {ReplyKind::BrokenFullReply, 0};
    }
    return {ReplyKind::Unacceptable, 0};
}

unsigned char fullReplyChecksum(const QByteArray &reply)
{
    unsigned int sum = 0;
    for (int position = 1; position <= 29 && position < reply.size(); ++position)
        sum += byteAt(reply, position);
    return static_cast<unsigned char>(sum & 0xFF);
}

void copyFullReply(const QByteArray &reply, SmallDevInfo &record)
{
    Q_ASSERT(reply.size() >= FullReplySize);
    const auto *data = reinterpret_cast<const unsigned char *>(reply.constData());
    record.lightbeltOn = data[3];
    record.lightbeltBright = data[4];
    record.lightbeltExt[0] = data[5];
    record.lightbeltExt[1] = data[6];
    record.spotOn = data[7];
    record.spotBright = data[8];
    record.spotExt[0] = data[9];
    record.spotExt[1] = data[10];
    record.mainOn = data[11];
    record.mainBright = data[12];
    record.mainExt[0] = data[13];
    record.mainExt[1] = data[14];
    record.curtainOn = data[15];
    record.curtainExt = data[16];
    record.tvOn = data[17];
    record.tvBright = data[18];
    record.tvVol = data[19];
    record.tvExt = data[20];
    record.airOn = data[21];
    record.airNibbleHi = data[22] >> 4;
    record.airNibbleLo = data[22] & 0x0F;
    record.airTemp = data[23];
    record.airSpeed = data[24];
    record.airExt = data[25];
    record.windOn = data[26];
    record.windExt[0] = data[27];
    record.windExt[1] = data[28];
    record.windExt[2] = data[29];
}

} // namespace Wire
