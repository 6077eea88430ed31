#include "appliances/tv.h"

#include "app/screeninstance.h"

Tv *Tv::instance = nullptr;

Tv *Tv::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "Tv", [] { return new Tv; });
}

bool Tv::ifInstance()
{
    return instance != nullptr;
}

Tv::Tv(QWidget *parent)
    : QWidget(parent)
{
    resize(800, 800);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    move(560, 140);
}

Tv::~Tv()
{
    instance = nullptr;
}

void Tv::updateItems()
{
}
