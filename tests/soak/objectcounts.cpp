// Preloaded into the panel by the soak (LD_PRELOAD), never linked into it: counts the panel's live
// QObjects through Qt's object hooks (the ones debugging tools use) and, once a second on the main
// thread, the timers registered on them, and writes both to the file named by PANEL_COUNTS_FILE as
// "objects timers". The panel itself is unchanged; the counter's own timer is among the counts.

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <cstdlib>

// Qt's hook table (qhooks_p.h); the indices are fixed for Qt 5.
extern quintptr Q_CORE_EXPORT qtHookData[];

namespace {

enum HookIndex { AddQObject = 3, RemoveQObject = 4, Startup = 5 };

QMutex *objectsLock;
QSet<QObject *> *objects;

void added(QObject *object)
{
    QMutexLocker locker(objectsLock);
    objects->insert(object);
}

void removed(QObject *object)
{
    QMutexLocker locker(objectsLock);
    objects->remove(object);
}

void writeCounts(const QString &path)
{
    QThread *const mainThread = QCoreApplication::instance()->thread();
    QAbstractEventDispatcher *const dispatcher = QAbstractEventDispatcher::instance(mainThread);
    int objectCount = 0;
    int timerCount = 0;
    {
        QMutexLocker locker(objectsLock);
        objectCount = objects->size();
        // Only the main thread's dispatcher may be asked here, about its own objects.
        for (QObject *object : qAsConst(*objects)) {
            if (dispatcher && object->thread() == mainThread)
                timerCount += dispatcher->registeredTimers(object).size();
        }
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray::number(objectCount) + ' ' + QByteArray::number(timerCount) + '\n');
        file.commit();
    }
}

void started()
{
    const QString path = QString::fromLocal8Bit(qgetenv("PANEL_COUNTS_FILE"));
    if (path.isEmpty())
        return;
    auto *timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [path] { writeCounts(path); });
    timer->start(1000);
}

__attribute__((constructor)) void installHooks()
{
    objectsLock = new QMutex;
    objects = new QSet<QObject *>;
    qtHookData[AddQObject] = reinterpret_cast<quintptr>(&added);
    qtHookData[RemoveQObject] = reinterpret_cast<quintptr>(&removed);
    qtHookData[Startup] = reinterpret_cast<quintptr>(&started);
}

} // namespace
