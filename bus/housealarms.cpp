#include "bus/housealarms.h"

#include "bus/devicetables.h"

namespace {
struct AlarmCaption
{
    unsigned char bit;
    const char *caption;
};

const AlarmCaption captionTable[] = {
    {AlarmSmoke, "烟"},
    {AlarmGas, "可燃气体"},
    {AlarmCo2, "二氧化碳"},
    {AlarmTemperature, "温度"},
    {AlarmLeakage, "漏电"},
};
} // namespace

QStringList alarmCaptions(unsigned char alarmBits)
{
    QStringList captions;
    for (const AlarmCaption &entry : captionTable) {
        if (alarmBits & entry.bit)
            captions << QString::fromUtf8(entry.caption);
    }
    return captions;
}

QStringList alarmKinds(unsigned char alarmBits)
{
    QStringList kinds = alarmCaptions(alarmBits);
    const unsigned char captioned = AlarmSmoke | AlarmGas | AlarmCo2 | AlarmTemperature | AlarmLeakage;
    if (alarmBits & ~captioned)
        kinds << QStringLiteral("其他");
    return kinds;
}

HouseAlarms::HouseAlarms(QObject *parent)
    : QObject(parent)
{
}

// No parent: it lives as long as the process, like the tables it stands beside.
HouseAlarms *HouseAlarms::instance()
{
    static auto *alarms = new HouseAlarms;
    return alarms;
}

void HouseAlarms::report(int index, int tongdao, unsigned char alarmBits)
{
    set(index, tongdao, {alarmBits, false});
}

void HouseAlarms::markSilent(int index, int tongdao)
{
    if (isController(index, tongdao))
        set(index, tongdao, {controllers[tongdao][index].alarmBits, true});
}

void HouseAlarms::set(int index, int tongdao, Controller now)
{
    if (!isController(index, tongdao))
        return;
    Controller &was = controllers[tongdao][index];
    if (was.alarmBits == now.alarmBits && was.silent == now.silent)
        return;
    const bool shownChanged = was.alarmBits != now.alarmBits || now.alarmBits != 0;
    was = now;
    emit controllerChanged(index, tongdao);
    if (shownChanged)
        emit changed();
}

unsigned char HouseAlarms::latched(int index, int tongdao) const
{
    return isController(index, tongdao) ? controllers[tongdao][index].alarmBits : 0;
}

bool HouseAlarms::isSilent(int index, int tongdao) const
{
    return isController(index, tongdao) && controllers[tongdao][index].silent;
}

bool HouseAlarms::channelInAlarm(int tongdao) const
{
    if (!isChannel(tongdao))
        return false;
    for (const Controller &controller : controllers[tongdao]) {
        if (controller.alarmBits != 0)
            return true;
    }
    return false;
}

QVector<HouseAlarms::Raised> HouseAlarms::raised() const
{
    QVector<Raised> list;
    for (int tongdao = 0; tongdao < ChannelCount; ++tongdao) {
        for (int index = 0; index < DevicesPerChannel; ++index) {
            const Controller &controller = controllers[tongdao][index];
            if (controller.alarmBits != 0)
                list.append({tongdao, index, controller.alarmBits, controller.silent});
        }
    }
    return list;
}

void HouseAlarms::reset()
{
    for (int tongdao = 0; tongdao < ChannelCount; ++tongdao) {
        for (int index = 0; index < DevicesPerChannel; ++index)
            set(index, tongdao, {});
    }
}

QString alarmLine(const HouseAlarms::Raised &alarm)
{
    QString line = QStringLiteral("通道%1  Control - %2  %3")
                       .arg(alarm.tongdao + 1)
                       .arg(alarm.index)
                       .arg(alarmKinds(alarm.alarmBits).join(QLatin1Char(' ')));
    if (alarm.silent)
        line += QStringLiteral("  断线");
    return line;
}
