#include "appliances/curtain.h"

#include "app/screeninstance.h"

Curtain *Curtain::instance = nullptr;

Curtain *Curtain::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "Curtain", [] { return new Curtain; });
}

bool Curtain::ifInstance()
{
    return instance != nullptr;
}

Curtain::Curtain(QWidget *parent)
    : QWidget(parent)
{
    resize(800, 800);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    move(560, 140);
}

Curtain::~Curtain()
{
    instance = nullptr;
}

void Curtain::updateItems()
{
}
