#include "screens/shared/screeninstance.h"

#include <QPainter>
#include <QStyleOption>
#include <QWidget>

void paintStyleSheetBackground(QWidget *widget)
{
    QStyleOption option;
    option.initFrom(widget);
    QPainter painter(widget);
    widget->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, widget);
}

void setFramelessFlags(QWidget *widget)
{
    widget->setWindowFlags(Qt::FramelessWindowHint);
    widget->setWindowFlags(widget->windowFlags() & ~Qt::WindowMaximizeButtonHint);
}
