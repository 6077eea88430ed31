#pragma once

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QRect>

class QRegion;
class QWidget;

// Paints a widget's opaque style-sheet background from a copy. A border-image stretched over the
// screen is otherwise rescaled on every repaint: at every opening of the screen, and under its clock
// and blinking icons many times a minute. The copy comes from one paint of the whole background by
// the same style, so it holds the same pixels; it is taken again when the size or the style changes.
//
// Panels are children whose style-sheet backgrounds never change either: translucent rounded boxes,
// blended anew at every paint, and pictures stretched to their size, rescaled at every paint. The
// copy holds them, drawn as Qt draws a child's background, and they no longer draw it themselves;
// whatever else they paint still paints. They come parents first.
//
// Repainted places are children that repaint many times a minute (a clock, blinking icons). The
// pixels beneath each are also kept in a small copy of their own: in the whole copy every row of a
// small rectangle lies on a memory page of its own, and a paint that reads from it walks as many
// pages as the rectangle has rows.
class BackgroundCopy : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(BackgroundCopy)

public:
    // The widget becomes the parent and paints nothing of its own background any more.
    explicit BackgroundCopy(QWidget *painted, const QList<QWidget *> &panels = {},
                            const QList<QWidget *> &repaintedPlaces = {});

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QRect placeOf(const QWidget *child) const;
    bool copyFits() const;
    void takeCopy();
    void cutStrips();
    void paint(const QRegion &region);

    struct Strip
    {
        QRect place;
        QPixmap pixels;
    };

    QWidget *widget = nullptr;
    QList<QWidget *> panels;
    QList<QWidget *> repaintedPlaces;
    QList<QRect> panelPlaces; // where the copy holds each panel
    QPixmap copy;
    QList<Strip> strips; // cut from the copy, under each repainted place
};
