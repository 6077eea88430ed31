#include "screens/shared/backgroundcopy.h"

#include <algorithm>

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QWidget>

BackgroundCopy::BackgroundCopy(QWidget *painted, const QList<QWidget *> &panelsOnIt,
                               const QList<QWidget *> &placesRepainted)
    : QObject(painted)
    , widget(painted)
    , panels(panelsOnIt)
    , repaintedPlaces(placesRepainted)
{
    // Qt then leaves the whole background to the paint event, which is where the copy goes.
    widget->setAttribute(Qt::WA_OpaquePaintEvent);
    widget->installEventFilter(this);
    for (QWidget *panel : panels) {
        // Not opaque: the widget still paints beneath, with the panel's background in the copy.
        panel->setAttribute(Qt::WA_NoSystemBackground);
        panel->installEventFilter(this);
    }
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
        if (watched == widget)
            paint(static_cast<QPaintEvent *>(event)->region());
        break;
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        // The first show delivers these with the geometry the widgets already have.
        if (!copyFits())
            copy = QPixmap();
        break;
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
        copy = QPixmap();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// Where a child shows on the widget; nowhere while it is hidden.
QRect BackgroundCopy::placeOf(const QWidget *child) const
{
    if (!child->isVisibleTo(widget))
        return QRect();
    return QRect(child->mapTo(widget, QPoint(0, 0)), child->size());
}

bool BackgroundCopy::copyFits() const
{
    if (copy.size() != widget->size())
        return false;
    for (int i = 0; i < panels.size(); ++i) {
        if (placeOf(panels.at(i)) != panelPlaces.at(i))
            return false;
    }
    return true;
}

// What Qt itself does for a styled background, over the whole widget at once: the gradient and the
// rescaled image round the same way as in a paint of the widget, and each panel's as in a paint of
// that child.
void BackgroundCopy::takeCopy()
{
    panelPlaces.clear();
    copy = QPixmap(widget->size());
    QPainter painter(&copy);
    QStyleOption option;
    option.initFrom(widget);
    widget->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, widget);
    for (QWidget *panel : panels) {
        panelPlaces.append(placeOf(panel));
        if (panelPlaces.constLast().isNull())
            continue;
        painter.save();
        painter.translate(panelPlaces.constLast().topLeft());
        option.initFrom(panel);
        panel->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, panel);
        painter.restore();
    }
    painter.end();
    cutStrips();
}

// Cut where the places are now; a place that moves or shows later is painted from the whole copy.
void BackgroundCopy::cutStrips()
{
    strips.clear();
    for (const QWidget *place : repaintedPlaces) {
        const QRect rect = placeOf(place) & copy.rect();
        if (!rect.isEmpty())
            strips.append({rect, copy.copy(rect)});
    }
}

void BackgroundCopy::paint(const QRegion &region)
{
    if (copy.isNull())
        takeCopy();
    QPainter painter(widget);
    for (const QRect &rect : region) {
        const auto strip = std::find_if(strips.cbegin(), strips.cend(),
                                        [&rect](const Strip &cut) { return cut.place.contains(rect); });
        if (strip == strips.cend())
            painter.drawPixmap(rect.topLeft(), copy, rect);
        else
            painter.drawPixmap(rect.topLeft(), strip->pixels, rect.translated(-strip->place.topLeft()));
    }
}
