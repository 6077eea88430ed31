#pragma once

#include <QObject>
#include <QPixmap>

class QRegion;
class QWidget;

// Paints a widget's opaque style-sheet background from a copy. A border-image stretched over the
// screen is otherwise rescaled on every repaint: at every opening of the screen, and under its clock
// and blinking icons many times a minute. The copy comes from one paint of the whole background by
// the same style, so it holds the same pixels; it is taken again when the size or the style changes.
class BackgroundCopy : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(BackgroundCopy)

public:
    // The widget becomes the parent and paints nothing of its own background any more.
    explicit BackgroundCopy(QWidget *painted);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void takeCopy();
    void paint(const QRegion &region);

    QWidget *widget = nullptr;
    QPixmap copy;
};
