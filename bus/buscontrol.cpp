#include "bus/buscontrol.h"
#include "ui_buscontrol.h"

#include "app/clockcaption.h"
#include "app/mainwindow.h"
#include "app/screeninstance.h"
#include "app/stylesheet.h"
#include "app/serialports.h"
#include "bus/devicetables.h"
#include "bus/devitem.h"
#include "bus/wire.h"
#include "room/devices.h"

#include <QDateTime>
#include <QLabel>
#include <QSerialPort>
#include <QTimer>

namespace {
constexpr int PollIntervalMs = 1000;
constexpr int ReadDelayMs = 300;
// Polls a controller may leave unanswered before it is declared disconnected.
constexpr int MaxUnansweredPolls = 2;

const QString channelSelectedQss = QStringLiteral(
    "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, stop:0 rgba(0, 230, 50, 255), "
    "stop:1 rgba(200, 200, 200, 255));");
const QString channelUnselectedQss = QStringLiteral(
    "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, stop:0 rgba(100, 100, 100, 255), "
    "stop:1 rgba(200, 200, 200, 255));");

const QString normalStateQss = QStringLiteral("QLabel{color: rgb(7, 119, 7);}");
const QString normalIdxQss = QStringLiteral("QLabel{color: rgb(0, 0, 0);}");
const QString requestingQss = QStringLiteral("QLabel{color: rgb(235, 197, 84);}");
const QString alarmQss = QStringLiteral("QLabel{color: rgb(218, 7, 7);}");
const QString offlineQss = QStringLiteral("QLabel{color: rgb(228, 134, 7);}");

struct AlarmCaption
{
    unsigned char bit;
    const char *caption;
};

const AlarmCaption alarmCaptions[] = {
    {AlarmSmoke, "烟"},
    {AlarmGas, "可燃气体"},
    {AlarmCo2, "二氧化碳"},
    {AlarmTemperature, "温度"},
    {AlarmLeakage, "漏电"},
};

QString alarmText(unsigned char alarm)
{
    QString text = QStringLiteral("警报：\n\n");
    for (const AlarmCaption &entry : alarmCaptions) {
        if (alarm & entry.bit)
            text += QString::fromUtf8(entry.caption) + QLatin1Char('\n');
    }
    return text;
}

void setTextIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

// The per-channel poll bookkeeping lives in named globals; these give them by channel number.
int &pollIndex(int channel)
{
    int *const indices[ChannelCount] = {&searchIndex, &searchIndex2, &searchIndex3, &searchIndex4};
    return *indices[channel];
}

int &unansweredPolls(int channel)
{
    int *const counts[ChannelCount] = {&retry1, &retry2, &retry3, &retry4};
    return *counts[channel];
}
} // namespace

void setQssOpen(QWidget *button, bool selected)
{
    button->setStyleSheet(selected ? channelSelectedQss : channelUnselectedQss);
}

BusControl *BusControl::instance = nullptr;

BusControl *BusControl::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "BusControl", [] { return new BusControl; });
}

bool BusControl::ifInstance()
{
    return instance != nullptr;
}

BusControl::BusControl(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::BusControl)
{
    setFramelessFlags(this);
    ui->setupUi(this);
    initItems();

    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("pollTimer"));
    readTimer = new QTimer(this);
    readTimer->setObjectName(QStringLiteral("readTimer"));
    connect(pollTimer, &QTimer::timeout, this, &BusControl::sendCommand);
    connect(readTimer, &QTimer::timeout, this, &BusControl::readMyCom);
    pollTimer->start(PollIntervalMs);
}

BusControl::~BusControl()
{
    delete ui;
    instance = nullptr;
}

void BusControl::initItems()
{
    QFrame *const panels[ChannelCount] = {ui->frame1, ui->frame2, ui->frame3, ui->frame4};
    for (int channel = 0; channel < ChannelCount; ++channel) {
        for (int index = 0; index < DevicesPerChannel; ++index) {
            auto *item = new DevItem(index, channel, panels[channel]);
            item->setGeometry(70 + 280 * index, 30, 230, 180);
            items[channel][index] = item;
            item->setOpen(true);
        }
    }
    showChannelPanel(0);
    for (QPushButton *button : {ui->btn_tong1, ui->btn_tong2, ui->btn_tong3, ui->btn_tong4}) {
        button->setEnabled(false);
        button->hide();
    }
}

void BusControl::setItemState(int index, int tongdao, int state, unsigned char alarm, int retry)
{
    if (!isController(index, tongdao))
        return;
    DevItem *item = items[tongdao][index];
    if (!item || !item->getOpen())
        return;

    QLabel *labelState = item->getLabelState();
    QLabel *labelIdx = item->getLabelIdx();
    switch (state) {
    case LinkNormal:
        setTextIfChanged(labelState, QString::fromUtf8(stateName[LinkNormal]));
        showLook(labelState, normalStateQss);
        showLook(labelIdx, normalIdxQss);
        Devices::updateConnState(index, tongdao, LinkNormal, alarm);
        break;
    case LinkRequesting:
        setTextIfChanged(labelState, QString::fromUtf8(stateName[LinkRequesting])
                                         + QStringLiteral("...").repeated(qMax(retry, 0)));
        showLook(labelState, requestingQss);
        showLook(labelIdx, requestingQss);
        break;
    case LinkAlarm:
        setTextIfChanged(labelState, alarmText(alarm));
        showLook(labelState, alarmQss);
        showLook(labelIdx, alarmQss);
        Devices::updateConnState(index, tongdao, LinkAlarm, alarm);
        break;
    case LinkOffline:
        setTextIfChanged(labelState, QString::fromUtf8(stateName[LinkOffline]));
        showLook(labelState, offlineQss);
        showLook(labelIdx, offlineQss);
        Devices::updateConnState(index, tongdao, LinkOffline, alarm);
        break;
    default:
        break;
    }
}

void BusControl::setCovered(bool on)
{
    covered = on;
    if (!covered) {
        for (auto look = pendingLooks.cbegin(); look != pendingLooks.cend(); ++look)
            setStyleSheetIfChanged(look.key(), look.value());
        pendingLooks.clear();
    }
    setUpdatesEnabled(!covered);
}

void BusControl::showLook(QLabel *label, const QString &sheet)
{
    if (covered)
        pendingLooks.insert(label, sheet);
    else
        setStyleSheetIfChanged(label, sheet);
}

void BusControl::sendCommand()
{
    ui->label_datetime->setText(clockCaption(QDateTime::currentDateTime()));

    // Set once a channel has been polled; until then its turn stays on controller 0.
    static bool flag1 = false;
    static bool flag2 = false;
    static bool flag3 = false;
    static bool flag4 = false;
    bool *const started[ChannelCount] = {&flag1, &flag2, &flag3, &flag4};
    for (int channel = 0; channel < ChannelCount; ++channel)
        pollChannel(channel, *started[channel]);
    readTimer->start(ReadDelayMs);
}

void BusControl::pollChannel(int channel, bool &started)
{
    int &index = pollIndex(channel);
    int &retry = unansweredPolls(channel);
    if (started && retry == 0)
        index = (index + 1) % DevicesPerChannel;
    started = true;

    QSerialPort *port = MainWindow::getCom(channel);
    if (port->isOpen()) {
        // Whatever is waiting now answers an earlier poll; it must not pass for this one's reply.
        port->clear(QSerialPort::Input);
        writePoll(port, Wire::pollRequest(devAddress[index]), index);
    }
    setItemState(index, channel, LinkRequesting, 0, retry);
    ++retry;
}

void BusControl::readMyCom()
{
    std::array<QByteArray, ChannelCount> replies;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        QSerialPort *port = MainWindow::getCom(channel);
        if (port->isOpen())
            replies[channel] = port->readAll();
        replyTaken(port);
    }
    handleReplies(replies);
    readTimer->stop();
}

void BusControl::handleReplies(const std::array<QByteArray, ChannelCount> &replies)
{
    for (int channel = 0; channel < ChannelCount; ++channel)
        handleReply(channel, replies[channel]);
}

void BusControl::handleReply(int channel, const QByteArray &reply)
{
    const int index = pollIndex(channel);
    int &retry = unansweredPolls(channel);
    const Wire::ReplyVerdict verdict = Wire::classifyReply(reply, index);

    switch (verdict.kind) {
    case Wire::ReplyKind::ShortReply:
        showAnswer(index, channel, verdict.alarm);
        retry = 0;
        break;
    case Wire::ReplyKind::FullReply:
        smallDevBaojingStates[channel][index] = verdict.alarm;
        Wire::copyFullReply(reply, smallDevInfos[channel][index]);
        if (Devices::getIndex() >= 0)
            Devices::updateAllSubDevs(index, channel);
        showAnswer(index, channel, verdict.alarm);
        retry = 0;
        break;
    case Wire::ReplyKind::BrokenFullReply:
        setItemState(index, channel, LinkOffline, 0, 0);
        smallDevBaojingStates[channel][index] = 0;
        retry = 0;
        break;
    case Wire::ReplyKind::Nothing:
    case Wire::ReplyKind::Unacceptable:
        // Noise counts as silence, so a babbling line cannot hold the turn for ever.
        if (retry > MaxUnansweredPolls)
            declareOffline(index, channel);
        break;
    }
}

void BusControl::showAnswer(int index, int channel, unsigned char alarm)
{
    if (alarm != 0)
        setItemState(index, channel, LinkAlarm, alarm, 0);
    else
        setItemState(index, channel, LinkNormal, 0, 0);
}

void BusControl::declareOffline(int index, int channel)
{
    setItemState(index, channel, LinkOffline, 0, 0);
    Devices::updateConnState(index, channel, LinkOffline, 0);
    smallDevBaojingStates[channel][index] = 0;
    unansweredPolls(channel) = 0;
}

void BusControl::showChannelPanel(int channel)
{
    QFrame *const panels[ChannelCount] = {ui->frame1, ui->frame2, ui->frame3, ui->frame4};
    QPushButton *const buttons[ChannelCount] = {ui->btn_tong1, ui->btn_tong2, ui->btn_tong3, ui->btn_tong4};
    for (int other = 0; other < ChannelCount; ++other) {
        panels[other]->setVisible(other == channel);
        setQssOpen(buttons[other], other == channel);
    }
}

void BusControl::on_pushButton_clicked()
{
    hide();
}

void BusControl::on_btn_tong1_clicked()
{
    showChannelPanel(0);
}

void BusControl::on_btn_tong2_clicked()
{
    showChannelPanel(1);
}

void BusControl::on_btn_tong3_clicked()
{
    showChannelPanel(2);
}

void BusControl::on_btn_tong4_clicked()
{
    showChannelPanel(3);
}
