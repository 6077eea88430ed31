#include "appliances/light1.h"

#include "app/screeninstance.h"

Light1 *Light1::instance = nullptr;

Light1 *Light1::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "Light1", [] { return new Light1; });
}

bool Light1::ifInstance()
{
    return instance != nullptr;
}

Light1::Light1(QWidget *parent)
    : QWidget(parent)
{
    resize(800, 800);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    move(560, 140);
}

Light1::~Light1()
{
    instance = nullptr;
}

void Light1::updateItems()
{
}
