#pragma once

// What a tile shows of its controller.
enum LinkState {
    LinkNormal = 0,
    LinkRequesting = 1,
    LinkAlarm = 2,
    LinkOffline = 3,
};

// Alarm byte bits, in the order the alarms are shown everywhere.
enum AlarmBit : unsigned char {
    AlarmSmoke = 0x80,
    AlarmGas = 0x40,
    AlarmCo2 = 0x20,
    AlarmTemperature = 0x10,
    AlarmLeakage = 0x08,
};
