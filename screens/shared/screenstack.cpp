#include "screens/shared/screenstack.h"

#include <QBackingStore>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QVector>
#include <QWidget>

namespace {
// A covered screen is repainted whole when it comes back (its hide invalidated it), so the picture
// its window holds is of no use meanwhile: 8 MiB for a full screen. Qt grows the store back to the
// window's size, and repaints all of it, at the window's next paint. Growing it costs a fresh
// allocation, so only screens two or more returns away give theirs back; the one a return shows
// keeps its own.
void giveBackPicture(QWidget *screen)
{
    if (QBackingStore *store = screen->backingStore())
        store->resize(QSize(1, 1));
}

class ScreenStack : public QObject
{
public:
    static ScreenStack *instance()
    {
        static QPointer<ScreenStack> stack = new ScreenStack(QCoreApplication::instance());
        return stack;
    }

    void leave(QWidget *screen)
    {
        const int place = screens.indexOf(screen);
        if (place > 0 && place == screens.size() - 1)
            arrange([&] { screens.at(place - 1)->show(); });
        screen->hide();
    }

protected:
    // ShowToParent comes once the window is shown, so the one beneath is hidden under it, never
    // before it is there; HideToParent comes once it is gone.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!arranging && event->type() == QEvent::ShowToParent)
            cover(static_cast<QWidget *>(watched));
        else if (!arranging && event->type() == QEvent::HideToParent)
            uncover(static_cast<QWidget *>(watched));
        return false;
    }

private:
    using QObject::QObject;

    template <typename Change>
    void arrange(Change change)
    {
        arranging = true;
        change();
        arranging = false;
    }

    void cover(QWidget *top)
    {
        screens.removeAll(top);
        screens.removeAll(nullptr);
        arrange([this] {
            for (QWidget *screen : qAsConst(screens)) {
                screen->hide();
                if (screen != screens.constLast())
                    giveBackPicture(screen);
            }
        });
        screens.append(top);
    }

    void uncover(QWidget *leaving)
    {
        const bool wasTop = !screens.isEmpty() && screens.constLast() == leaving;
        screens.removeAll(leaving);
        screens.removeAll(nullptr);
        if (wasTop && !screens.isEmpty())
            arrange([this] { screens.constLast()->show(); });
    }

    // Bottom to top: the one shown last, over the ones it covers.
    QVector<QPointer<QWidget>> screens;
    bool arranging = false;
};
} // namespace

void joinScreenStack(QWidget *screen)
{
    screen->installEventFilter(ScreenStack::instance());
}

void leaveScreen(QWidget *screen)
{
    ScreenStack::instance()->leave(screen);
}
