#pragma once

#include "wire/smalldevinfo.h"

#include <QByteArray>

#include <array>

// The bytes on the buses: command frames, poll requests and the two status replies.
namespace Wire {

constexpr int CommandFrameSize = 7;
constexpr int PollRequestSize = 5;
constexpr int ShortReplySize = 4;
constexpr int FullReplySize = 31;

constexpr unsigned char FrameStart = 0xAA;
constexpr unsigned char FrameEnd = 0xFF;
constexpr unsigned char ShortReplyStart = 0xBB;
constexpr unsigned char FullReplyStart = 0xCC;

enum CommandCode {
    ClearAlarms = 0,
    Curtain = 4,
    Television = 5,
    AirConditioner = 6,
    Fan = 7,
    LightBelt = 8,
    SpotLight = 9,
    MainLight = 10,
};

using CommandFrame = std::array<unsigned char, CommandFrameSize>;

// AA 01 01 00 00 00 FF: what every channel's frame holds before its first command.
CommandFrame initialCommandFrame();
void fillSwitchCommand(CommandFrame &frame, int index, int code, bool on);
void fillValueCommand(CommandFrame &frame, int index, int code, int value);
QByteArray toBytes(const CommandFrame &frame);

QByteArray pollRequest(unsigned char address);

// What one read of a channel holds, judged against the controller under poll. Only the first
// reply of a read counts; bytes after it are dropped with it.
enum class ReplyKind {
    Nothing,        // no bytes at all
    Unacceptable,   // noise, another controller's reply, a reply cut before the bytes its rule needs
    ShortReply,     // BB index alarm FF
    FullReply,      // CC index alarm, 27 data bytes, checksum
    BrokenFullReply // a full reply of the polled controller that is cut short or fails its checksum
};

struct ReplyVerdict
{
    ReplyKind kind = ReplyKind::Nothing;
    unsigned char alarm = 0;
};

ReplyVerdict classifyReply(const QByteArray &bytes, int polledIndex);

// The low 8 bits of the sum of bytes 1 to 29 of a full reply of at least 30 bytes.
unsigned char fullReplyChecksum(const QByteArray &reply);

// Copies the 27 data bytes of an accepted full reply into the record, in the record's order.
void copyFullReply(const QByteArray &reply, SmallDevInfo &record);

} // namespace Wire
