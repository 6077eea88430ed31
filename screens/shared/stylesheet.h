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

// A picture its style sheet draws (a border-image) blinks by painting: drawn or not, and only the
// widget's own rectangle repaints. Hiding and showing it instead costs a round trip to the display
// server each time, as Qt asks where the pointer is for the enter and leave events of a widget that
// appears. The widget stays visible throughout and takes no input of its own. The picture is all it
// shows: it paints no text or frame of its own.
void setPictureLit(QWidget *widget, bool lit);
bool isPictureLit(const QWidget *widget);
