#pragma once

class QString;
class QWidget;

// Every setStyleSheet re-polishes the widget (parses the sheet, resolves palette and font, relayouts
// and repaints it), even when the sheet is the one already set. Swapping looks goes through here, so
// that a refresh that changes nothing costs nothing.
void setStyleSheetIfChanged(QWidget *widget, const QString &sheet);

// A level slider is drawn with `base` below `threshold` and with `fill` added from it on. `filled`
// remembers which look it has, so that the sheet changes when the value crosses the threshold, not on
// every move of the slider.
void followFillThreshold(QWidget *slider, int &filled, int value, int threshold, const QString &base,
                         const QString &fill);
