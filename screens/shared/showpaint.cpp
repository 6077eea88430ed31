#include "screens/shared/showpaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QExposeEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <QWindow>

namespace {
bool platformExposesWhileShowing()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("linuxfb") || platform == QLatin1String("vnc");
}

class ShowRepaints : public QObject
{
public:
    explicit ShowRepaints(QWidget *watchedScreen)
        : QObject(watchedScreen)
        , screen(watchedScreen)
    {
        screen->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The widget's show comes before its window's, so the window is there to follow; a screen
        // whose flags changed has a new one, and installing twice on the same one is harmless.
        if (watched == screen && event->type() == QEvent::Show) {
            window = screen->windowHandle();
            if (window)
                window->installEventFilter(this);
            showing = true;
        } else if (watched == window && event->type() == QEvent::Expose && showing && window->isExposed()) {
            showing = false;
            if ((QRegion(screen->rect()) - static_cast<QExposeEvent *>(event)->region()).isEmpty())
                dropRepaintsOfShownChildren();
        }
        return false;
    }

private:
    // A child that is a window of its own keeps its request: this expose does not paint it.
    void dropRepaintsOfShownChildren()
    {
        QCoreApplication::removePostedEvents(screen, QEvent::UpdateLater);
        const QList<QWidget *> children = screen->findChildren<QWidget *>();
        for (QWidget *child : children) {
            if (child->window() == screen)
                QCoreApplication::removePostedEvents(child, QEvent::UpdateLater);
        }
    }

    QWidget *screen;
    QPointer<QWindow> window;
    bool showing = false;
};
} // namespace

void paintOncePerShow(QWidget *screen)
{
    if (platformExposesWhileShowing())
        new ShowRepaints(screen);
}
