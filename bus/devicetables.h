#pragma once

#include "wire/linkstate.h"
#include "wire/smalldevinfo.h"

// What the panel knows of every controller, [channel][device index]. Plain globals: every reader and
// writer runs on the GUI thread.

extern SmallDevInfo smallDevInfos[ChannelCount][DevicesPerChannel];
extern unsigned char smallDevBaojingStates[ChannelCount][DevicesPerChannel];

// The brightness the lighting screen last sent, per circuit: slot = command code - 8.
extern int lightBright[ChannelCount][DevicesPerChannel][3];

// Poll bookkeeping, one set per channel: the device index under poll and the poll requests sent
// since the last accepted reply or disconnection verdict.
extern int searchIndex;
extern int searchIndex2;
extern int searchIndex3;
extern int searchIndex4;
extern int retry1;
extern int retry2;
extern int retry3;
extern int retry4;

extern unsigned char devAddress[DevicesPerChannel];
extern const char *const stateName[4];

// Back to the values of a fresh start, with the set temperature the main window gives every record.
void resetDeviceTables();
