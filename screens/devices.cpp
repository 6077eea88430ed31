#include "screens/devices.h"
#include "ui_devices.h"

#include "bus/devicetables.h"
#include "screens/appliances/aircond.h"
#include "screens/appliances/curtain.h"
#include "screens/appliances/light1.h"
#include "screens/appliances/tv.h"
#include "screens/appliances/wind.h"
#include "screens/buscontrol.h"
#include "screens/shared/alarmboard.h"
#include "screens/shared/animationsigner.h"
#include "screens/shared/backgroundcopy.h"
#include "screens/shared/clockcaption.h"
#include "screens/shared/commandnotice.h"
#include "screens/shared/screeninstance.h"
#include "screens/shared/screenstack.h"
#include "screens/shared/stylesheet.h"
#include "wire/wire.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <array>

namespace {
const QString onoffQss1 = QStringLiteral("border-image: url(:/swon.png);outline: none;");
const QString onoffQss0 = QStringLiteral("border-image: url(:/swoff.png);outline: none;");
const QString stateOnQss = QStringLiteral("color: rgb(50, 251, 50);");
const QString stateOffQss = QStringLiteral("color: rgb(136, 138, 133);");

const QString connOnlineQss = QStringLiteral("color: rgb(34, 177, 76);");
const QString connAlarmQss = QStringLiteral("color: rgb(229, 235, 69);");
const QString connOfflineQss = QStringLiteral("color: rgb(204, 0, 0);");
// The caption's look in the form, before anything is known of a controller.
const QString connUnknownQss = QStringLiteral("color: rgb(204, 20, 0);");

constexpr int BlinkIntervalMs = 500;
constexpr int ClockIntervalMs = 1000;
constexpr int RippleSize = 40;
// The alarm panel under the tiles has room for this many lines besides its heading.
constexpr int ShownOtherAlarmLines = 2;

template <typename Screen>
void reloadIfShown(Screen *screen, const QWidget *except)
{
    if (!screen->isHidden() && screen != except)
        screen->updateItems();
}

std::array<QWidget *, 5> applianceScreens()
{
    return {Aircond::getInstance(), Curtain::getInstance(), Light1::getInstance(), Tv::getInstance(),
            Wind::getInstance()};
}

// Hiding first makes show() raise a screen that is already visible.
template <typename Screen>
void raiseAppliance(Screen *screen)
{
    screen->updateItems();
    screen->hide();
    screen->show();
}
} // namespace

Devices::Devices(int shownIndex, int shownTongdao, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Devices)
    , index(shownIndex)
    , tongdao(shownTongdao)
{
    ui->setupUi(this);
    setFramelessFlags(this);
    joinScreenStack(this);
    // Opened again and again, and its clock and icons repaint many times a minute: the stretched
    // background, the translucent panels and the appliances' pictures come from a copy rather than
    // a rescale and a blend each time.
    new BackgroundCopy(ui->frame,
                       {ui->frame_top, ui->frame_air, ui->frame_tv, ui->frame_light, ui->frame_curtain, ui->frame_wind,
                        ui->label_air_img, ui->label_air_mode, ui->label_tv_img, ui->label_tv_bright_icon,
                        ui->label_tv_vol_icon, ui->label_light_img, ui->label_curtain_img, ui->label_wind_img},
                       {ui->label_datetime, ui->label_jg0, ui->label_jg1, ui->label_jg2, ui->label_jg3, ui->label_jg4});
    initItems();
    ui->alarmBoard->setHeading(QStringLiteral("其他房间警报："));
    ui->alarmBoard->setShownLines(ShownOtherAlarmLines);
    connect(ControllerStates::instance(), &ControllerStates::changed, this, &Devices::showOtherAlarms);
    connect(ControllerStates::instance(), &ControllerStates::controllerChanged, this, &Devices::followLatchedAlarm);
    connect(ControllerStates::instance(), &ControllerStates::recordReported, this, &Devices::controllerReported);
    connect(Commands::instance(), &Commands::applied, this, &Devices::commandApplied);
    connect(Commands::instance(), &Commands::dropped, this, &Devices::commandDropped);
    showOtherAlarms();
}

Devices::~Devices()
{
    delete ui;
}

Devices *Devices::getInstance(int index, int tongdao, bool set)
{
    Devices *devices = instanceOrCreate([=] { return new Devices(index, tongdao); });
    if (set) {
        devices->index = index;
        devices->tongdao = tongdao;
    }
    return devices;
}

int Devices::getIndex()
{
    return instance ? instance->index : -1;
}

int Devices::getTongdao()
{
    return instance ? instance->tongdao : -1;
}

bool Devices::isShown(int index, int tongdao)
{
    return instance && instance->showsController() && index == instance->index && tongdao == instance->tongdao;
}

void Devices::initItems()
{
    createTimers();
    clearWarnIcons();
    if (showsController())
        loadTiles(shownRecord());
    createApplianceScreens();
    prepareCommandNotice(this);
    for (QWidget *screen : applianceScreens())
        prepareCommandNotice(screen);
}

void Devices::createScreens()
{
    getInstance(-1, -1, false);
}

// In this order, hidden; each writes its "new" line.
void Devices::createApplianceScreens()
{
    Aircond::getInstance();
    Curtain::getInstance();
    Light1::getInstance();
    Tv::getInstance();
    Wind::getInstance();
}

void Devices::openController(int index, int tongdao)
{
    Devices *devices = getInstance(index, tongdao, false);
    devices->setIndex(index);
    devices->setTongdao(tongdao);
    devices->updateItems(index, tongdao);
    devices->show();
}

void Devices::createTimers()
{
    using Slot = void (Devices::*)();
    const Slot blinkSlots[AlarmIconCount] = {&Devices::slotTimeout0, &Devices::slotTimeout1, &Devices::slotTimeout2,
                                             &Devices::slotTimeout3, &Devices::slotTimeout4};
    for (int icon = 0; icon < AlarmIconCount; ++icon) {
        blinkTimers[icon] = new QTimer(this);
        blinkTimers[icon]->setObjectName(QStringLiteral("blinkTimer%1").arg(icon));
        connect(blinkTimers[icon], &QTimer::timeout, this, blinkSlots[icon]);
    }

    // Runs for the dashboard's whole life; it only sets the clock while the dashboard shows.
    clockTimer = new QTimer(this);
    clockTimer->setObjectName(QStringLiteral("clockTimer"));
    connect(clockTimer, &QTimer::timeout, this, &Devices::showtimeTimeout);
    clockTimer->start(ClockIntervalMs);
}

// Off is the form's look, so only what is on needs setting.
void Devices::loadTiles(const SmallDevInfo &record)
{
    if (record.curtainOn)
        setOnoffStyle(ui->label_curtain_onoff, ui->btn_curtain_onoff, true);
    if (record.tvOn)
        setOnoffStyle(ui->label_tv_onoff, ui->btn_tv_onoff, true);
    if (record.windOn)
        setOnoffStyle(ui->label_wind_onoff, ui->btn_wind_onoff, true);
    if (record.airOn)
        setOnoffStyle(ui->label_air_onoff, ui->btn_air_onoff, true);
    if (record.mainOn)
        setOnoffStyle(ui->label_light_onoff, ui->btn_light_onoff, true);
    ui->label_tv_vol->setText(QString::number(record.tvVol));
    ui->label_tv_bright->setText(QString::number(record.tvBright));
    ui->label_air_temp->setText(QString::number(record.airTemp));
}

SmallDevInfo &Devices::shownRecord() const
{
    return smallDevInfos[tongdao][index];
}

// An appliance screen left open would act on the room the dashboard no longer shows.
void Devices::setIndex(int newIndex)
{
    if (newIndex < 0)
        return;
    if (newIndex != index)
        closeApplianceScreens();
    index = newIndex;
    ui->label_idx->setText(QString::number(index + 1));
}

void Devices::setTongdao(int newTongdao)
{
    if (!isChannel(newTongdao))
        return;
    if (newTongdao != tongdao)
        closeApplianceScreens();
    tongdao = newTongdao;
    ui->label_tong->setText(QString::number(tongdao + 1));
}

void Devices::closeApplianceScreens()
{
    for (QWidget *screen : applianceScreens())
        screen->hide();
}

// A device tile has just chosen the controller through setIndex and setTongdao.
void Devices::updateItems(int chosenIndex, int chosenTongdao)
{
    if (chosenIndex != index && chosenTongdao != tongdao)
        return;
    updateItems_sub(index, chosenTongdao, AllTiles);
    updateAllSubDevs();
    showKnownLinkState();
    showOtherAlarms();
}

// A room's dashboard covers every other screen, so the alarms of the other rooms show here too: the
// person must see smoke next door while adjusting the lights in this room. This room's own alarms
// are its icons.
void Devices::showOtherAlarms()
{
    ui->alarmBoard->showAlarms(otherAlarms());
}

QVector<ControllerStates::Raised> Devices::otherAlarms() const
{
    QVector<ControllerStates::Raised> alarms = ControllerStates::instance()->raised();
    alarms.erase(std::remove_if(alarms.begin(), alarms.end(),
                                [this](const ControllerStates::Raised &alarm) {
                                    return alarm.index == index && alarm.tongdao == tongdao;
                                }),
                 alarms.end());
    return alarms;
}

// Straight to the room touched: its dashboard, icons blinking.
void Devices::on_alarmBoard_roomChosen(int chosenIndex, int chosenTongdao)
{
    openController(chosenIndex, chosenTongdao);
}

void Devices::updateItems_sub(int index, int tongdao, int kind)
{
    if (index < 0 || tongdao < 0 || !ifInstance())
        return;
    if (index != instance->index && tongdao != instance->tongdao)
        return;
    if (instance->showsController())
        instance->reloadTiles(kind);
}

void Devices::reloadTiles(int kind)
{
    const SmallDevInfo &record = shownRecord();
    const auto concerns = [kind](TileKind tile) { return kind == AllTiles || kind == tile; };
    if (concerns(CurtainTile) && !ui->btn_curtain_onoff->isDown())
        setOnoffStyle(ui->label_curtain_onoff, ui->btn_curtain_onoff, record.curtainOn != 0);
    if (concerns(TvTile)) {
        followRecord(ui->label_tv_onoff, ui->btn_tv_onoff, record.tvOn);
        ui->label_tv_vol->setText(QString::number(record.tvVol));
        ui->label_tv_bright->setText(QString::number(record.tvBright));
    }
    if (concerns(WindTile))
        followRecord(ui->label_wind_onoff, ui->btn_wind_onoff, record.windOn);
    if (concerns(AirTile)) {
        followRecord(ui->label_air_onoff, ui->btn_air_onoff, record.airOn);
        ui->label_air_temp->setText(QString::number(record.airTemp));
    }
    if (concerns(LightTile))
        followRecord(ui->label_light_onoff, ui->btn_light_onoff, record.mainOn);
}

// A switch the person is pressing stays as the finger left it; its click decides.
void Devices::followRecord(QLabel *label, QPushButton *button, unsigned char field)
{
    const bool on = field != 0;
    if (button->isChecked() != on && !button->isDown())
        setOnoffStyle(label, button, on);
}

void Devices::controllerReported(int index, int tongdao)
{
    if (!isShown(index, tongdao))
        return;
    instance->reloadTiles(AllTiles);
    updateAllSubDevs();
}

void Devices::commandApplied(int index, int tongdao)
{
    if (isShown(index, tongdao))
        ShownController(index, tongdao).showRecordChanged(ShownController::screenSending());
}

void Devices::commandDropped(int index, int tongdao)
{
    if (!isShown(index, tongdao))
        return;
    instance->reloadTiles(AllTiles);
    updateAllSubDevs();
    QWidget *inFront = instance;
    for (QWidget *screen : applianceScreens()) {
        if (screen->isVisible())
            inFront = screen;
    }
    showCommandNotSent(inFront, tongdao, index);
}

void Devices::updateAllSubDevs(const QWidget *except)
{
    reloadIfShown(Aircond::getInstance(), except);
    reloadIfShown(Curtain::getInstance(), except);
    reloadIfShown(Light1::getInstance(), except);
    reloadIfShown(Tv::getInstance(), except);
    reloadIfShown(Wind::getInstance(), except);
}

// Checking the switch from here emits no click, so it sends nothing.
void Devices::setOnoffStyle(QLabel *label, QPushButton *button, bool on)
{
    setStyleSheetIfChanged(button, on ? onoffQss1 : onoffQss0);
    label->setText(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    setStyleSheetIfChanged(label, on ? stateOnQss : stateOffQss);
    button->setChecked(on);
}

// The frame goes out before the switch is restyled: re-polishing it takes longer than the write,
// and the new look is painted only after this returns either way. A refused command leaves the
// switch as it was.
void Devices::switchAppliance(QLabel *label, QPushButton *button, int code, bool checked)
{
    const bool refused = isRefused(shown().switchAppliance(code, checked, this));
    setOnoffStyle(label, button, refused ? !checked : checked);
}

void Devices::on_btn_air_onoff_clicked(bool checked)
{
    switchAppliance(ui->label_air_onoff, ui->btn_air_onoff, Wire::AirConditioner, checked);
}

void Devices::on_btn_tv_onoff_clicked(bool checked)
{
    switchAppliance(ui->label_tv_onoff, ui->btn_tv_onoff, Wire::Television, checked);
}

void Devices::on_btn_light_onoff_clicked(bool checked)
{
    switchAppliance(ui->label_light_onoff, ui->btn_light_onoff, Wire::MainLight, checked);
}

void Devices::on_btn_curtain_onoff_clicked(bool checked)
{
    switchAppliance(ui->label_curtain_onoff, ui->btn_curtain_onoff, Wire::Curtain, checked);
}

void Devices::on_btn_wind_onoff_clicked(bool checked)
{
    switchAppliance(ui->label_wind_onoff, ui->btn_wind_onoff, Wire::Fan, checked);
}

void Devices::on_btn_air_clicked()
{
    raiseAppliance(Aircond::getInstance());
}

void Devices::on_btn_tv_clicked()
{
    raiseAppliance(Tv::getInstance());
}

void Devices::on_btn_light_clicked()
{
    raiseAppliance(Light1::getInstance());
}

void Devices::on_btn_curtain_clicked()
{
    raiseAppliance(Curtain::getInstance());
}

void Devices::on_btn_wind_clicked()
{
    raiseAppliance(Wind::getInstance());
}

// The alarms stay in sight until the controller confirms them cleared: its next good reply takes
// the caption, the icons and this button back to the normal look.
void Devices::on_btn_clean_clicked()
{
    if (showsController())
        shown().setValue(Wire::ClearAlarms, 0, this);
}

// The channel stays: the appliance screens test both for a shown controller.
void Devices::on_btn_return_clicked()
{
    index = -1;
    leaveScreen(this);
    closeApplianceScreens();
    for (QTimer *timer : blinkTimers)
        timer->stop();
}

// The first verdict on any controller makes the dashboard and the appliance screens, hidden, so that
// they are ready before anyone opens them.
void Devices::updateConnState(int index, int tongdao, int state, unsigned char alarmBits)
{
    createScreens();
    if (!isShown(index, tongdao))
        return;
    instance->showLinkState(state, alarmBits);
}

// The icons show what the controller last reported, also while it does not answer.
void Devices::showLinkState(int state, unsigned char alarmBits)
{
    showConnCaption(state);
    const unsigned char shownAlarm = ControllerStates::instance()->latched(index, tongdao)
        | (state == LinkAlarm ? alarmBits : 0);
    setWarnIcon(index, tongdao, shownAlarm == 0, shownAlarm);
}

void Devices::followLatchedAlarm(int changedIndex, int changedTongdao)
{
    if (!showsController() || changedIndex != index || changedTongdao != tongdao)
        return;
    const unsigned char latched = ControllerStates::instance()->latched(index, tongdao);
    setWarnIcon(index, tongdao, latched == 0, latched);
}

// A pending poll and unknown states leave the caption as it is.
void Devices::showConnCaption(int state)
{
    switch (state) {
    case LinkNormal:
        ui->label_conn->setText(QStringLiteral(".在线."));
        setStyleSheetIfChanged(ui->label_conn, connOnlineQss);
        break;
    case LinkAlarm:
        ui->label_conn->setText(QStringLiteral(".异常."));
        setStyleSheetIfChanged(ui->label_conn, connAlarmQss);
        break;
    case LinkOffline:
        ui->label_conn->setText(QStringLiteral(".断线."));
        setStyleSheetIfChanged(ui->label_conn, connOfflineQss);
        break;
    default:
        break;
    }
}

// Starts from a clean status row, so nothing of the controller shown before stays behind.
void Devices::showKnownLinkState()
{
    if (!showsController())
        return;
    clearWarnIcons();
    const ControllerStates *states = ControllerStates::instance();
    if (states->isJudged(index, tongdao)) {
        showLinkState(states->linkState(index, tongdao), states->latched(index, tongdao));
        return;
    }
    ui->label_conn->setText(QStringLiteral(".断线."));
    setStyleSheetIfChanged(ui->label_conn, connUnknownQss);
    followLatchedAlarm(index, tongdao);
}

void Devices::setWarnIcon(int index, int tongdao, bool clear, unsigned char alarmBits)
{
    if (!instance)
        return;
    if (clear)
        instance->clearWarnIcons();
    else if (isShown(index, tongdao))
        instance->blinkWarnIcons(alarmBits);
}

void Devices::clearWarnIcons()
{
    for (int icon = 0; icon < AlarmIconCount; ++icon) {
        blinkTimers[icon]->stop();
        setPictureLit(warnIcon(icon), false);
    }
    ui->btn_clean->hide();
}

// An icon appears at its timer's first tick; a timer already running for a repeated alarm goes on
// undisturbed, so the blinking keeps its rhythm. The low three bits have no icon but still count
// as an alarm to clear.
void Devices::blinkWarnIcons(unsigned char alarmBits)
{
    for (int icon = 0; icon < AlarmIconCount; ++icon) {
        const bool raised = alarmBits & (AlarmSmoke >> icon);
        if (!raised) {
            setPictureLit(warnIcon(icon), false);
            blinkTimers[icon]->stop();
        } else if (!blinkTimers[icon]->isActive()) {
            blinkTimers[icon]->start(BlinkIntervalMs);
        }
    }
    ui->btn_clean->setVisible(alarmBits != 0);
}

QLabel *Devices::warnIcon(int icon) const
{
    QLabel *const icons[AlarmIconCount] = {ui->label_jg0, ui->label_jg1, ui->label_jg2, ui->label_jg3, ui->label_jg4};
    return icons[icon];
}

void Devices::toggleWarnIcon(int icon)
{
    QLabel *label = warnIcon(icon);
    setPictureLit(label, !isPictureLit(label));
}

void Devices::slotTimeout0()
{
    toggleWarnIcon(0);
}

void Devices::slotTimeout1()
{
    toggleWarnIcon(1);
}

void Devices::slotTimeout2()
{
    toggleWarnIcon(2);
}

void Devices::slotTimeout3()
{
    toggleWarnIcon(3);
}

void Devices::slotTimeout4()
{
    toggleWarnIcon(4);
}

// As on the bus control screen: a hidden clock is set when it shows, not every second.
void Devices::showtimeTimeout()
{
    if (isVisible())
        showClock();
}

void Devices::showClock()
{
    ui->label_datetime->setText(clockCaption(QDateTime::currentDateTime()));
}

void Devices::paintEvent(QPaintEvent *)
{
    paintStyleSheetBackground(this);
}

// Full-screen, the dashboard hides the bus control screen beneath it entirely.
void Devices::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showClock();
    if (BusControl::ifInstance())
        BusControl::getInstance()->setCovered(true);
}

void Devices::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (BusControl::ifInstance())
        BusControl::getInstance()->setCovered(false);
}

// Only presses that no button took arrive here. They stay here: the ripple is all a press on the
// background does.
void Devices::mousePressEvent(QMouseEvent *event)
{
    activateWindow();
    CreateOneAnimation(event->localPos().toPoint());
}

void Devices::CreateOneAnimation(const QPoint &pos)
{
    auto *ripple = new AnimationSigner(this);
    ripple->resize(RippleSize, RippleSize);
    ripple->move(pos - QPoint(RippleSize / 2, RippleSize / 2));
    ripple->raise();
    ripple->show();
    ripple->ExecuteOne();
}
