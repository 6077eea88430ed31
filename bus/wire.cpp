#include "bus/wire.h"

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

} // namespace Wire
