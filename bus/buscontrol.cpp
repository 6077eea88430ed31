#include "bus/buscontrol.h"

#include "app/screeninstance.h"

BusControl *BusControl::instance = nullptr;

BusControl *BusControl::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "BusControl", [] { return new BusControl; });
}

BusControl::BusControl(QWidget *parent)
    : QWidget(parent)
{
    setFramelessFlags(this);
    resize(1920, 1080);
}

BusControl::~BusControl()
{
    instance = nullptr;
}

void BusControl::setItemState(int, int, int, unsigned char, int)
{
}
