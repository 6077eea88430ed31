#pragma once

#include "remote/remotetopics.h"

#include <QByteArray>
#include <QVector>

// One alarm as the remote side sees it: its topic key, the alarm byte's bits it stands for and how
// Home Assistant should class it.
struct AlarmKind
{
    const char *key;
    unsigned char bits;
    const char *deviceClass;
    const char *name;
};

const QVector<AlarmKind> &alarmKinds();

// Home Assistant device discovery: one device per controller, reached through the panel's device.
namespace Discovery {

// The panel's own device: whether it is connected to the broker.
QByteArray panelConfig(const RemoteTopics &topics);
QString panelConfigTopic(const RemoteTopics &topics);
// A controller's alarms, its link and its appliances.
QByteArray controllerConfig(const RemoteTopics &topics, int tongdao, int index);

} // namespace Discovery
