#pragma once

// The state record of one controller, as the panel keeps it. Every field is one byte; on/off fields
// hold 0 for off and anything else for on. The order differs from the order of the full status reply.
struct SmallDevInfo
{
    unsigned char lightbeltOn;
    unsigned char lightbeltBright;
    unsigned char lightbeltExt[2];
    unsigned char spotOn;
    unsigned char spotBright;
    unsigned char spotExt[2];
    unsigned char mainOn;
    unsigned char mainBright;
    unsigned char mainExt[2];
    unsigned char tvOn;
    unsigned char tvBright;
    unsigned char tvVol;
    unsigned char tvExt;
    unsigned char airOn;
    unsigned char airNibbleHi;
    unsigned char airNibbleLo;
    unsigned char airTemp;
    unsigned char airSpeed;
    unsigned char airExt;
    unsigned char curtainOn;
    unsigned char curtainExt;
    unsigned char windOn;
    unsigned char windExt[3];
};
static_assert(sizeof(SmallDevInfo) == 28, "one byte per field, no padding");

// Four buses, four controllers on each.
constexpr int ChannelCount = 4;
constexpr int DevicesPerChannel = 4;

constexpr bool isChannel(int tongdao)
{
    return tongdao >= 0 && tongdao < ChannelCount;
}
constexpr bool isDeviceIndex(int index)
{
    return index >= 0 && index < DevicesPerChannel;
}
constexpr bool isController(int index, int tongdao)
{
    return isDeviceIndex(index) && isChannel(tongdao);
}
