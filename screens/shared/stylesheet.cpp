#include "screens/shared/stylesheet.h"

#include <QEvent>
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

namespace {
// The style sheet's picture is the widget's styled background, drawn before its paint event; the
// style sets that attribute whenever it polishes the widget, so a dark picture is made dark again
// after each polish (StyleChange follows it).
class PictureLight : public QObject
{
public:
    explicit PictureLight(QWidget *widget)
        : QObject(widget)
    {
        // The first polish comes now, not at the first show, where it would light the picture.
        widget->ensurePolished();
        widget->installEventFilter(this);
    }

    void set(QWidget *widget, bool on)
    {
        lit = on;
        apply(widget);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange)
            apply(static_cast<QWidget *>(watched));
        // The picture is drawn before the paint event and is all the widget shows: its own paint
        // would only set up a painter for an empty frame, at every blink.
        return event->type() == QEvent::Paint;
    }

private:
    void apply(QWidget *widget) const
    {
        if (widget->testAttribute(Qt::WA_StyledBackground) == lit)
            return;
        widget->setAttribute(Qt::WA_StyledBackground, lit);
        widget->update();
    }

    bool lit = true;
};
} // namespace

void setPictureLit(QWidget *widget, bool lit)
{
    auto *light = widget->findChild<PictureLight *>(QString(), Qt::FindDirectChildrenOnly);
    if (!light)
        light = new PictureLight(widget);
    light->set(widget, lit);
}

bool isPictureLit(const QWidget *widget)
{
    return widget->testAttribute(Qt::WA_StyledBackground);
}
