#include "screens/shared/backgroundcopy.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QWidget>

BackgroundCopy::BackgroundCopy(QWidget *painted)
    : QObject(painted)
    , widget(painted)
{
    // Qt then leaves the whole background to the paint event, which is where the copy goes.
    widget->setAttribute(Qt::WA_OpaquePaintEvent);
    widget->installEventFilter(this);
    // Taken as soon as the event loop is idle rather than at the first opening, where a person
    // waits for it. Polished first, as showing would, so that the copy is not thrown away then.
    QTimer::singleShot(0, this, [this] {
        widget->window()->ensurePolished();
        if (copy.isNull())
            takeCopy();
    });
}

bool BackgroundCopy::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Paint:
        paint(static_cast<QPaintEvent *>(event)->region());
        break;
    case QEvent::Resize:
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
        copy = QPixmap();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// What Qt itself does for a styled background, over the whole widget at once: the gradient and the
// rescaled image round the same way as in a paint of the widget.
void BackgroundCopy::takeCopy()
{
    copy = QPixmap(widget->size());
    QPainter painter(&copy);
    QStyleOption option;
    option.initFrom(widget);
    widget->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, widget);
}

void BackgroundCopy::paint(const QRegion &region)
{
    if (copy.isNull())
        takeCopy();
    QPainter painter(widget);
    for (const QRect &rect : region)
        painter.drawPixmap(rect.topLeft(), copy, rect);
}
