#include "bus/devicetables.h"

#include "bus/controllerstates.h"

#include <algorithm>
#include <cstring>
#include <iterator>

SmallDevInfo smallDevInfos[ChannelCount][DevicesPerChannel];
unsigned char smallDevBaojingStates[ChannelCount][DevicesPerChannel];
int lightBright[ChannelCount][DevicesPerChannel][3];

int searchIndex = 0;
int searchIndex2 = 0;
int searchIndex3 = 0;
int searchIndex4 = 0;
int retry1 = 0;
int retry2 = 0;
int retry3 = 0;
int retry4 = 0;

unsigned char devAddress[DevicesPerChannel] = {0, 1, 2, 3};

const char *const stateName[4] = {
    "正常",
    "请求中.\n.",
    "",
    "设备断线",
};

void resetDeviceTables()
{
    std::memset(smallDevInfos, 0, sizeof smallDevInfos);
    std::memset(smallDevBaojingStates, 0, sizeof smallDevBaojingStates);
    std::memset(lightBright, 0, sizeof lightBright);
    for (auto &channel : smallDevInfos) {
        for (SmallDevInfo &record : channel)
            record.airTemp = 18;
    }
    searchIndex = searchIndex2 = searchIndex3 = searchIndex4 = 0;
    retry1 = retry2 = retry3 = retry4 = 0;
    ControllerStates::instance()->reset();
}
