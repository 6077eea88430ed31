#include "room/devices.h"

#include "app/screeninstance.h"
#include "bus/smalldevinfo.h"

// Placeholder until the dashboard lands: it only records the shown controller.

Devices *Devices::instance = nullptr;

Devices::Devices(QWidget *parent)
    : Devices(-1, -1, parent)
{
}

Devices::Devices(int index, int tongdao, QWidget *parent)
    : QWidget(parent)
    , index(index)
    , tongdao(tongdao)
{
}

Devices::~Devices()
{
    instance = nullptr;
}

Devices *Devices::getInstance(int index, int tongdao, bool set)
{
    static QMutex mutex;
    Devices *devices = screenInstance(instance, mutex, "Devices", [=] { return new Devices(index, tongdao); });
    if (set) {
        devices->index = index;
        devices->tongdao = tongdao;
    }
    return devices;
}

bool Devices::ifInstance() { return instance != nullptr; }
int Devices::getIndex() { return instance ? instance->index : -1; }
int Devices::getTongdao() { return instance ? instance->tongdao : -1; }
void Devices::updateConnState(int, int, int, unsigned char) {}
void Devices::setWarnIcon(int, int, bool, unsigned char) {}
void Devices::updateItems_sub(int, int, int) {}
void Devices::updateAllSubDevs(int, int) {}

void Devices::setIndex(int newIndex)
{
    if (newIndex >= 0)
        index = newIndex;
}

void Devices::setTongdao(int newTongdao)
{
    if (isChannel(newTongdao))
        tongdao = newTongdao;
}

void Devices::updateItems(int, int) {}
