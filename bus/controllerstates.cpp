#include "bus/controllerstates.h"

#include "bus/devicetables.h"

namespace {
struct AlarmCaption
{
    unsigned char bit;
    const char *caption;
};

const AlarmCaption captionTable[] = {
    {AlarmSmoke, "烟"},         {AlarmGas, "可燃气体"}, {AlarmCo2, "二氧化碳"},
    {AlarmTemperature, "温度"}, {AlarmLeakage, "漏电"},
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

ControllerStates::ControllerStates(QObject *parent)
    : QObject(parent)
{
}

// No parent: it lives as long as the process, like the tables it stands beside.
ControllerStates *ControllerStates::instance()
{
    static auto *alarms = new ControllerStates;
    return alarms;
}

void ControllerStates::judge(int index, int tongdao, int state, unsigned char alarmBits)
{
    if (!isController(index, tongdao))
        return;
    if (state == LinkNormal || state == LinkAlarm)
        set(index, tongdao, {true, state, alarmBits, false});
    else if (state == LinkOffline)
        set(index, tongdao, {true, LinkOffline, controllers[tongdao][index].alarmBits, true});
}

void ControllerStates::report(int index, int tongdao, unsigned char alarmBits)
{
    judge(index, tongdao, alarmBits != 0 ? LinkAlarm : LinkNormal, alarmBits);
}

void ControllerStates::markSilent(int index, int tongdao)
{
    judge(index, tongdao, LinkOffline, 0);
}

void ControllerStates::set(int index, int tongdao, Controller now)
{
    if (!isController(index, tongdao))
        return;
    Controller &was = controllers[tongdao][index];
    if (was == now)
        return;
    const bool shownChanged = was.alarmBits != now.alarmBits || (was.silent != now.silent && now.alarmBits != 0);
    was = now;
    emit controllerChanged(index, tongdao);
    if (shownChanged)
        emit changed();
}

bool ControllerStates::isJudged(int index, int tongdao) const
{
    return isController(index, tongdao) && controllers[tongdao][index].judged;
}

int ControllerStates::linkState(int index, int tongdao) const
{
    return isController(index, tongdao) ? controllers[tongdao][index].linkState : LinkOffline;
}

unsigned char ControllerStates::latched(int index, int tongdao) const
{
    return isController(index, tongdao) ? controllers[tongdao][index].alarmBits : 0;
}

bool ControllerStates::isSilent(int index, int tongdao) const
{
    return isController(index, tongdao) && controllers[tongdao][index].silent;
}

bool ControllerStates::channelInAlarm(int tongdao) const
{
    if (!isChannel(tongdao))
        return false;
    for (const Controller &controller : controllers[tongdao]) {
        if (controller.alarmBits != 0)
            return true;
    }
    return false;
}

QVector<ControllerStates::Raised> ControllerStates::raised() const
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

void ControllerStates::reset()
{
    for (int tongdao = 0; tongdao < ChannelCount; ++tongdao) {
        for (int index = 0; index < DevicesPerChannel; ++index)
            set(index, tongdao, {});
    }
}

QString alarmLine(const ControllerStates::Raised &alarm)
{
    QString line = QStringLiteral("通道%1  Control - %2  %3")
                       .arg(alarm.tongdao + 1)
                       .arg(alarm.index)
                       .arg(alarmKinds(alarm.alarmBits).join(QLatin1Char(' ')));
    if (alarm.silent)
        line += QStringLiteral("  断线");
    return line;
}
