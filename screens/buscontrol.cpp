#include "screens/buscontrol.h"
#include "ui_buscontrol.h"

#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "bus/serialports.h"
#include "screens/devices.h"
#include "screens/devitem.h"
#include "screens/shared/clockcaption.h"
#include "screens/shared/screeninstance.h"
#include "screens/shared/screenstack.h"
#include "screens/shared/stylesheet.h"
#include "wire/pollcycle.h"
#include "wire/wire.h"

#include <QDateTime>
#include <QPushButton>
#include <QLabel>
#include <QSerialPort>
#include <QTimer>

#include <algorithm>
#include <iterator>

namespace {
constexpr int PollIntervalMs = 1000;
constexpr int ReadDelayMs = 300;

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

// A channel with a controller in alarm shows it on its button, whichever panel is in view.
const QString channelAlarmQss = QStringLiteral(
    "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, stop:0 rgba(218, 7, 7, 255), "
    "stop:1 rgba(200, 200, 200, 255));color: rgb(255, 255, 255);");
const QString channelAlarmSelectedQss = QStringLiteral(
    "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, stop:0 rgba(218, 7, 7, 255), "
    "stop:1 rgba(0, 230, 50, 255));color: rgb(255, 255, 255);");

QString alarmText(unsigned char alarm)
{
    QString text = QStringLiteral("警报：\n\n");
    for (const QString &caption : alarmCaptions(alarm))
        text += caption + QLatin1Char('\n');
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
    setStyleSheetIfChanged(button, selected ? channelSelectedQss : channelUnselectedQss);
}

BusControl *BusControl::getInstance()
{
    return instanceOrCreate([] { return new BusControl; });
}

BusControl::BusControl(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::BusControl)
{
    setFramelessFlags(this);
    joinScreenStack(this);
    ui->setupUi(this);
    initItems();

    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("pollTimer"));
    readTimer = new QTimer(this);
    readTimer->setObjectName(QStringLiteral("readTimer"));
    connect(pollTimer, &QTimer::timeout, this, &BusControl::sendCommand);
    connect(readTimer, &QTimer::timeout, this, &BusControl::readMyCom);
    connect(ControllerStates::instance(), &ControllerStates::changed, this, &BusControl::showChannelButtons);
    pollTimer->start(PollIntervalMs);
}

BusControl::~BusControl()
{
    delete ui;
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
    for (QPushButton *button : channelButtons()) {
        button->setEnabled(false);
        button->hide();
    }
    // Every wired bus must be reachable: its controllers' alarms are polled and must be seen.
    followWiredChannels();
}

std::array<QPushButton *, ChannelCount> BusControl::channelButtons() const
{
    return {ui->btn_tong1, ui->btn_tong2, ui->btn_tong3, ui->btn_tong4};
}

// A channel counts as wired once its port has opened, and stays so through a hang-up: its
// controllers then show as disconnected, which is the truth about them.
void BusControl::followWiredChannels()
{
    bool changed = false;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        if (!wired[channel] && busPort(channel)->isOpen()) {
            wired[channel] = true;
            changed = true;
        }
    }
    if (!changed)
        return;
    if (!wired[shownChannel]) {
        const bool *firstWired = std::find(std::begin(wired), std::end(wired), true);
        showChannelPanel(int(firstWired - std::begin(wired)));
    }
    showChannelButtons();
}

// A single wired bus keeps the screen as one panel without buttons.
void BusControl::showChannelButtons()
{
    const bool offerChoice = std::count(std::begin(wired), std::end(wired), true) > 1;
    const auto buttons = channelButtons();
    for (int channel = 0; channel < ChannelCount; ++channel) {
        QPushButton *button = buttons[channel];
        const bool shown = offerChoice && wired[channel];
        button->setEnabled(shown);
        button->setVisible(shown);
        if (!ControllerStates::instance()->channelInAlarm(channel))
            setQssOpen(button, channel == shownChannel);
        else
            setStyleSheetIfChanged(button, channel == shownChannel ? channelAlarmSelectedQss : channelAlarmQss);
    }
}

// A controller's latched alarm shows on its tile whatever the link state, with "断线" while the
// controller does not answer; only a poll under way shows the requesting look over it.
void BusControl::setItemState(int index, int tongdao, int state, unsigned char alarm, int retry)
{
    if (!isController(index, tongdao))
        return;
    DevItem *item = items[tongdao][index];
    if (!item || !item->getOpen())
        return;

    QLabel *labelState = item->getLabelState();
    QLabel *labelIdx = item->getLabelIdx();
    if (state == LinkRequesting) {
        setTextIfChanged(labelState,
                         QString::fromUtf8(stateName[LinkRequesting]) + QStringLiteral("...").repeated(qMax(retry, 0)));
        showLook(labelState, requestingQss);
        showLook(labelIdx, requestingQss);
        return;
    }
    if (state != LinkNormal && state != LinkAlarm && state != LinkOffline)
        return;

    const unsigned char shownAlarm = ControllerStates::instance()->latched(index, tongdao)
        | (state == LinkAlarm ? alarm : 0);
    if (shownAlarm != 0) {
        setTextIfChanged(labelState,
                         alarmText(shownAlarm) + (state == LinkOffline ? QStringLiteral("断线\n") : QString()));
        showLook(labelState, alarmQss);
        showLook(labelIdx, alarmQss);
    } else if (state == LinkNormal) {
        setTextIfChanged(labelState, QString::fromUtf8(stateName[LinkNormal]));
        showLook(labelState, normalStateQss);
        showLook(labelIdx, normalIdxQss);
    } else {
        setTextIfChanged(labelState, QString::fromUtf8(stateName[LinkOffline]));
        showLook(labelState, offlineQss);
        showLook(labelIdx, offlineQss);
    }
    Devices::updateConnState(index, tongdao, state, alarm);
}

// The local time is dear to work out, and a hidden clock needs none: it is set when it shows.
void BusControl::showClock()
{
    ui->label_datetime->setText(clockCaption(QDateTime::currentDateTime()));
}

void BusControl::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showClock();
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
    if (isVisible())
        showClock();
    followWiredChannels();

    // Set once a channel has been polled; until then its turn stays on controller 0.
    static bool flag1 = false;
    static bool flag2 = false;
    static bool flag3 = false;
    static bool flag4 = false;
    bool *const started[ChannelCount] = {&flag1, &flag2, &flag3, &flag4};
    if (cycleRestartPending) {
        for (bool *flag : started)
            *flag = false;
        cycleRestartPending = false;
    }
    for (int channel = 0; channel < ChannelCount; ++channel)
        pollChannel(channel, *started[channel]);
    readTimer->start(ReadDelayMs);
}

void BusControl::restartPollCycle()
{
    for (int channel = 0; channel < ChannelCount; ++channel)
        pollIndex(channel) = unansweredPolls(channel) = 0;
    cycleRestartPending = true;
}

void BusControl::pollChannel(int channel, bool &started)
{
    int &index = pollIndex(channel);
    const int earlierPolls = PollCycle::startPoll(index, unansweredPolls(channel), started);

    QSerialPort *port = busPort(channel);
    if (port->isOpen()) {
        // Whatever is waiting now answers an earlier poll; it must not pass for this one's reply.
        port->clear(QSerialPort::Input);
        writePoll(port, Wire::pollRequest(devAddress[index]), index);
    }
    setItemState(index, channel, LinkRequesting, 0, earlierPolls);
}

void BusControl::readMyCom()
{
    std::array<QByteArray, ChannelCount> replies;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        QSerialPort *port = busPort(channel);
        if (port->isOpen())
            replies[channel] = port->readAll();
        replyTaken(port);
    }
    handleReplies(replies);
    readTimer->stop();
    emit readsCompleted();
}

void BusControl::handleReplies(const std::array<QByteArray, ChannelCount> &replies)
{
    for (int channel = 0; channel < ChannelCount; ++channel)
        handleReply(channel, replies[channel]);
}

// The tables and the controller's state first, then the tile, which tells the dashboard.
void BusControl::handleReply(int channel, const QByteArray &reply)
{
    const int index = pollIndex(channel);
    const PollCycle::Outcome outcome = PollCycle::judgeRead(reply, index, unansweredPolls(channel));
    if (outcome.storeAlarm)
        smallDevBaojingStates[channel][index] = outcome.alarm;
    ControllerStates *states = ControllerStates::instance();
    states->judge(index, channel, outcome.state, outcome.alarm);
    if (outcome.storeRecord) {
        Wire::copyFullReply(reply, smallDevInfos[channel][index]);
        states->recordReplaced(index, channel);
    }
    if (outcome.state != LinkRequesting)
        setItemState(index, channel, outcome.state, outcome.alarm, 0);
}

void BusControl::showChannelPanel(int channel)
{
    if (!isChannel(channel))
        return;
    shownChannel = channel;
    QFrame *const panels[ChannelCount] = {ui->frame1, ui->frame2, ui->frame3, ui->frame4};
    for (int other = 0; other < ChannelCount; ++other)
        panels[other]->setVisible(other == channel);
    showChannelButtons();
}

void BusControl::showChannel(int channel)
{
    showChannelPanel(channel);
}

void BusControl::on_pushButton_clicked()
{
    leaveScreen(this);
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
