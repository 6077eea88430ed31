#pragma once

#include "screens/shared/showpaint.h"

#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>

class QWidget;

// Every screen exists at most once per process and is created on first use, and paints once per
// show. The fast path reads the pointer without the lock; the lock only serialises the creation.
template <typename Screen, typename Create>
Screen *screenInstance(Screen *&instance, QMutex &mutex, const char *className, Create create)
{
    if (instance)
        return instance;
    QMutexLocker locker(&mutex);
    if (!instance) {
        qDebug("new %s", className);
        instance = create();
        paintOncePerShow(instance);
    }
    return instance;
}

// The one-instance pattern every screen follows: `instance` is the screen once it exists, made on
// first use by instanceOrCreate() with the debug line "new <Class>", and cleared when it is destroyed.
// A screen derives from it beside QWidget and calls instanceOrCreate() from its own getInstance().
template <typename Screen>
class OneInstance
{
public:
    static bool ifInstance() { return instance != nullptr; }

protected:
    OneInstance() = default;
    ~OneInstance() { instance = nullptr; }

    template <typename Create>
    static Screen *instanceOrCreate(Create create)
    {
        static QMutex mutex;
        return screenInstance(instance, mutex, Screen::staticMetaObject.className(), create);
    }

    static inline Screen *instance = nullptr;
};

// Lets a widget's style sheet background show, as a plain QWidget subclass does not draw it itself.
void paintStyleSheetBackground(QWidget *widget);

// The flags of the full-screen screens: frameless, and never maximisable by a window manager.
void setFramelessFlags(QWidget *widget);
