#pragma once

#include <QObject>

// What the bus tells the screens above it: link states, a controller's fresh report and a touched
// tile. The room dashboard hears them through here, connected by the main window, so that nothing in
// the bus layer includes the screens above it.
class RoomLink : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RoomLink)

public:
    static RoomLink *instance();

    void tellLinkState(int index, int tongdao, int state, unsigned char alarm) { emit linkStateChanged(index, tongdao, state, alarm); }
    void tellReport(int index, int tongdao) { emit controllerReported(index, tongdao); }
    void choose(int index, int tongdao) { emit controllerChosen(index, tongdao); }

signals:
    // A verdict on a controller (normal, alarm or disconnected), as its tile shows it.
    void linkStateChanged(int index, int tongdao, int state, unsigned char alarm);
    // An accepted full reply is in the controller's record.
    void controllerReported(int index, int tongdao);
    // The person touched the controller's tile.
    void controllerChosen(int index, int tongdao);

private:
    explicit RoomLink(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
};
