#include "appliances/wind.h"

#include "app/screeninstance.h"

Wind *Wind::instance = nullptr;

Wind *Wind::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "Wind", [] { return new Wind; });
}

bool Wind::ifInstance()
{
    return instance != nullptr;
}

Wind::Wind(QWidget *parent)
    : QWidget(parent)
{
    resize(800, 800);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    move(560, 140);
}

Wind::~Wind()
{
    instance = nullptr;
}

void Wind::updateItems()
{
}
