#pragma once

#include <QObject>
#include <QPixmap>
#include <QRect>
#include <QVector>

class QRegion;
class QWidget;

// Paints a widget's opaque style-sheet background from copies where it is repainted again and again
// (under a clock, under blinking icons), and through the style everywhere else. A border-image
// stretched over the screen is otherwise rescaled on every repaint, however small. The copies come
// from one paint of the whole background by the same style, so they hold the same pixels.
class BackgroundStrips : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(BackgroundStrips)

public:
    // The widget becomes the parent and paints nothing of its own background any more.
    BackgroundStrips(QWidget *painted, const QVector<QRect> &rects);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Strip
    {
        QRect rect;
        QPixmap pixels;
    };

    void takeCopies();
    void paint(const QRegion &region);

    QWidget *widget = nullptr;
    QVector<Strip> strips;
    bool copied = false;
};
