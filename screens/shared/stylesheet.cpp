#include "screens/shared/stylesheet.h"

#include <QWidget>

void setStyleSheetIfChanged(QWidget *widget, const QString &sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

void followFillThreshold(QWidget *slider, int &filled, int value, int threshold, const QString &base,
                         const QString &fill)
{
    if (!filled && value >= threshold) {
        filled = 1;
        setStyleSheetIfChanged(slider, base + fill);
    } else if (filled && value < threshold) {
        filled = 0;
        setStyleSheetIfChanged(slider, base);
    }
}
