#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>

class QWidget;

// Every screen exists at most once per process and is created on first use. The fast path reads
// the pointer without the lock; the lock only serialises the creation itself.
template <typename Screen, typename Create>
Screen *screenInstance(Screen *&instance, QMutex &mutex, const char *className, Create create)
{
    if (instance)
        return instance;
    QMutexLocker locker(&mutex);
    if (!instance) {
        qDebug("new %s", className);
        instance = create();
    }
    return instance;
}

// Lets a widget's style sheet background show, as a plain QWidget subclass does not draw it itself.
void paintStyleSheetBackground(QWidget *widget);

// The flags of the full-screen screens: frameless, and never maximisable by a window manager.
void setFramelessFlags(QWidget *widget);
