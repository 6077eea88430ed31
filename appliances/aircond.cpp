#include "appliances/aircond.h"

#include "app/screeninstance.h"

Aircond *Aircond::instance = nullptr;

Aircond *Aircond::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "Aircond", [] { return new Aircond; });
}

bool Aircond::ifInstance()
{
    return instance != nullptr;
}

Aircond::Aircond(QWidget *parent)
    : QWidget(parent)
{
    resize(800, 800);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    move(560, 140);
}

Aircond::~Aircond()
{
    instance = nullptr;
}

void Aircond::updateItems()
{
}
