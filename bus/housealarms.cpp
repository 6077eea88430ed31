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

void HouseAlarms::setVerdict(int index, int tongdao, bool inAlarm, unsigned char alarmBits)
{
    if (!isController(index, tongdao))
        return;
    Verdict &verdict = verdicts[tongdao][index];
    if (!inAlarm)
        alarmBits = 0;
    if (verdict.inAlarm == inAlarm && verdict.alarmBits == alarmBits)
        return;
    verdict = {inAlarm, alarmBits};
    emit changed();
}

bool HouseAlarms::channelInAlarm(int tongdao) const
{
    if (!isChannel(tongdao))
        return false;
    for (const Verdict &verdict : verdicts[tongdao]) {
        if (verdict.inAlarm)
            return true;
    }
    return false;
}

QVector<HouseAlarms::Raised> HouseAlarms::raised() const
{
    QVector<Raised> list;
    for (int tongdao = 0; tongdao < ChannelCount; ++tongdao) {
        for (int index = 0; index < DevicesPerChannel; ++index) {
            if (verdicts[tongdao][index].inAlarm)
                list.append({tongdao, index, verdicts[tongdao][index].alarmBits});
        }
    }
    return list;
}

void HouseAlarms::reset()
{
    const bool hadAlarms = !raised().isEmpty();
    for (auto &channel : verdicts) {
        for (Verdict &verdict : channel)
            verdict = {};
    }
    if (hadAlarms)
        emit changed();
}

namespace {
QString alarmLine(const HouseAlarms::Raised &alarm)
{
    return QStringLiteral("通道%1  Control - %2  %3")
        .arg(alarm.tongdao + 1)
        .arg(alarm.index)
        .arg(alarmCaptions(alarm.alarmBits).join(QLatin1Char(' ')));
}
} // namespace

QString alarmListing(const QString &heading, const QVector<HouseAlarms::Raised> &alarms, int shownLines)
{
    QStringList lines{heading};
    for (int i = 0; i < alarms.size() && i < shownLines; ++i)
        lines << alarmLine(alarms.at(i));
    if (alarms.size() > shownLines)
        lines << QStringLiteral("另有%1处").arg(alarms.size() - shownLines);
    return lines.join(QLatin1Char('\n'));
}
