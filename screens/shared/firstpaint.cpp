#include "screens/shared/firstpaint.h"

#include <QImage>
#include <QWidget>

void paintOffScreen(QWidget *screen)
{
    // Opaque like the screen itself; given back at once.
    QImage image(screen->size(), QImage::Format_RGB32);
    screen->render(&image);
}
