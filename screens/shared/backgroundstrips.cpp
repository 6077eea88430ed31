#include "screens/shared/backgroundstrips.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

namespace {
// What Qt itself does for a styled background, limited to the region.
void paintThroughStyle(QWidget *widget, QPainter &painter, const QRegion &region)
{
    painter.setClipRegion(region);
    QStyleOption option;
    option.initFrom(widget);
    widget->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, widget);
}
} // namespace

BackgroundStrips::BackgroundStrips(QWidget *painted, const QVector<QRect> &rects)
    : QObject(painted)
    , widget(painted)
{
    for (const QRect &rect : rects)
        strips.append({rect, QPixmap()});
    // Qt then leaves the whole background to the paint event, which is where the copies go.
    widget->setAttribute(Qt::WA_OpaquePaintEvent);
    widget->installEventFilter(this);
}

bool BackgroundStrips::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Paint:
        paint(static_cast<QPaintEvent *>(event)->region());
        break;
    case QEvent::Resize:
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
        copied = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// Whole, not strip by strip: a strip painted on its own would sit at another origin, and the
// gradient and the rescaled image could round differently there.
void BackgroundStrips::takeCopies()
{
    QPixmap whole(widget->size());
    {
        QPainter painter(&whole);
        paintThroughStyle(widget, painter, QRegion(whole.rect()));
    }
    for (Strip &strip : strips)
        strip.pixels = whole.copy(strip.rect);
    copied = true;
}

void BackgroundStrips::paint(const QRegion &region)
{
    if (!copied)
        takeCopies();
    QPainter painter(widget);
    QRegion rest = region;
    for (const Strip &strip : qAsConst(strips)) {
        const QRegion inside = rest.intersected(strip.rect);
        for (const QRect &rect : inside)
            painter.drawPixmap(rect.topLeft(), strip.pixels, rect.translated(-strip.rect.topLeft()));
        rest -= strip.rect;
    }
    if (!rest.isEmpty())
        paintThroughStyle(widget, painter, rest);
}
