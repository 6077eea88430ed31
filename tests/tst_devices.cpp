#include "app/mainwindow.h"
#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "screens/appliances/aircond.h"
#include "screens/appliances/curtain.h"
#include "screens/appliances/light1.h"
#include "screens/appliances/tv.h"
#include "screens/appliances/wind.h"
#include "screens/buscontrol.h"
#include "screens/devices.h"
#include "screens/shared/stylesheet.h"
#include "screens/shared/clockcaption.h"

#include "busterminals.h"
#include "messagelog.h"
#include "paneltest.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include <cstddef>
#include <cstring>

// The room dashboard: captions, blinking alarms, switches and their frames, tile reloads, the return
// button and the clock. One process: the dashboard is created once, by the first test.
class TestDevices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstConnStateCreatesHiddenDashboard();
    void formStartsWithNoStateShown();
    void tileStacking_data();
    void tileStacking();
    void touchOnTileOpensApplianceScreen_data();
    void touchOnTileOpensApplianceScreen();

    void connCaption_data();
    void connCaption();
    void alarmIconsBlinkFromFirstTick();
    void alarmBlinksInRealTime();
    void clearButtonClearsAlarms();
    void otherControllersUpdatesIgnored_data();
    void otherControllersUpdatesIgnored();

    void switchSendsFrameAndStores_data();
    void switchSendsFrameAndStores();
    void updateItemsSubReloadsKind_data();
    void updateItemsSubReloadsKind();
    void reloadTurnsTilesOffAgain();
    void switchOnEitherViewShowsOnTheOther_data();
    void switchOnEitherViewShowsOnTheOther();
    void commandThatCannotLeaveChangesNothing_data();
    void commandThatCannotLeaveChangesNothing();
    void selectingLoadsTilesAndRoomNumber();
    void returnButtonLeavesController();

    void clockCaption_data();
    void clockCaption();
    void clockTickShowsNow();

    void selectionShowsLastKnownState_data();
    void selectionShowsLastKnownState();
    void resetForgetsLinkStates();
    void controllerOutsideTablesTouchesNothing_data();
    void controllerOutsideTablesTouchesNothing();

private:
    void select(int index, int tongdao);
    void clickAt(const QPoint &dashboardPos);
    void tick(int icon);
    QByteArray nothingElseReceived();
    QTimer *blinkTimer(int icon) const;
    QLabel *warnIcon(int icon) const;
    QLabel *label(const char *name) const;
    QPushButton *button(const char *name) const;
    int runningBlinkTimers() const;
    int shownWarnIcons() const;

    BusTerminals buses;
    Devices *dashboard = nullptr;
};

namespace {
const QString formConnQss = QStringLiteral("color: rgb(204, 20, 0);");
const QString onlineQss = QStringLiteral("color: rgb(34, 177, 76);");
const QString alarmQss = QStringLiteral("color: rgb(229, 235, 69);");
const QString offlineQss = QStringLiteral("color: rgb(204, 0, 0);");
const QString switchOnQss = QStringLiteral("border-image: url(:/swon.png);outline: none;");
const QString switchOffQss = QStringLiteral("border-image: url(:/swoff.png);outline: none;");

const char *const tiles[] = {"air", "tv", "light", "curtain", "wind"};

QByteArray switchFrame(int index, int code, bool on)
{
    const char bytes[] = {char(0xAA), char(index), char(code), char(on ? 1 : 2), 0, 0, char(0xFF)};
    return QByteArray(bytes, sizeof bytes);
}

unsigned char &field(SmallDevInfo &record, int offset)
{
    return reinterpret_cast<unsigned char *>(&record)[offset];
}

QList<QWidget *> applianceScreens()
{
    return {Aircond::getInstance(), Curtain::getInstance(), Light1::getInstance(), Tv::getInstance(),
            Wind::getInstance()};
}

QWidget *applianceScreen(const QString &name)
{
    for (QWidget *screen : applianceScreens()) {
        if (QLatin1String(screen->metaObject()->className()) == name)
            return screen;
    }
    return nullptr;
}
} // namespace

void TestDevices::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    QVERIFY(buses.openMainWindow());
    PanelTest::createQuietBusControl();
}

void TestDevices::init()
{
    resetDeviceTables();
    buses.discardPending();
    if (Devices::ifInstance()) {
        for (QWidget *screen : applianceScreens())
            screen->hide();
    }
    MessageLog::clear();
}

// What a device tile does when touched.
void TestDevices::select(int index, int tongdao)
{
    dashboard = Devices::getInstance(index, tongdao, false);
    dashboard->setIndex(index);
    dashboard->setTongdao(tongdao);
    dashboard->updateItems(index, tongdao);
    dashboard->show();
}

// A touch lands on the topmost widget under the finger.
void TestDevices::clickAt(const QPoint &dashboardPos)
{
    QWidget *target = dashboard->childAt(dashboardPos);
    QVERIFY(target);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(dashboard, dashboardPos));
}

void TestDevices::tick(int icon)
{
    QVERIFY(QMetaObject::invokeMethod(dashboard, qPrintable(QStringLiteral("slotTimeout%1").arg(icon))));
}

QByteArray TestDevices::nothingElseReceived()
{
    return buses.anySent();
}

QTimer *TestDevices::blinkTimer(int icon) const
{
    return dashboard->findChild<QTimer *>(QStringLiteral("blinkTimer%1").arg(icon));
}

QLabel *TestDevices::warnIcon(int icon) const
{
    return dashboard->findChild<QLabel *>(QStringLiteral("label_jg%1").arg(icon));
}

QLabel *TestDevices::label(const char *name) const
{
    return dashboard->findChild<QLabel *>(QLatin1String(name));
}

QPushButton *TestDevices::button(const char *name) const
{
    return dashboard->findChild<QPushButton *>(QLatin1String(name));
}

// Bit i stands for icon i, i.e. for alarm bit 0x80 >> i.
int TestDevices::runningBlinkTimers() const
{
    int mask = 0;
    for (int icon = 0; icon < 5; ++icon)
        mask |= blinkTimer(icon)->isActive() ? 1 << icon : 0;
    return mask;
}

int TestDevices::shownWarnIcons() const
{
    int mask = 0;
    for (int icon = 0; icon < 5; ++icon)
        mask |= isPictureLit(warnIcon(icon)) ? 1 << icon : 0;
    return mask;
}

void TestDevices::firstConnStateCreatesHiddenDashboard()
{
    QVERIFY(!Devices::ifInstance());
    QCOMPARE(Devices::getIndex(), -1);
    QCOMPARE(Devices::getTongdao(), -1);

    // The bus's first verdict on any controller, as the poll gives it.
    BusControl::getInstance()->setItemState(1, 0, LinkAlarm, 0x80, 0);

    QVERIFY(Devices::ifInstance());
    dashboard = Devices::getInstance(2, 3, false);
    QVERIFY(dashboard->isHidden());
    QCOMPARE(Devices::getIndex(), -1);
    QCOMPARE(Devices::getTongdao(), -1);
    QCOMPARE(MessageLog::count(QStringLiteral("new Devices")), 1);
    for (const char *screen : {"new Aircond", "new Curtain", "new Light1", "new Tv", "new Wind"})
        QCOMPARE(MessageLog::count(QLatin1String(screen)), 1);
    for (QWidget *screen : applianceScreens())
        QVERIFY(screen->isHidden());
    // The controller is not shown, so the alarm changes nothing on the page.
    QCOMPARE(label("label_conn")->text(), QStringLiteral(".断线."));
    QCOMPARE(runningBlinkTimers(), 0);
}

void TestDevices::formStartsWithNoStateShown()
{
    QCOMPARE(dashboard->size(), QSize(1920, 1080));
    QCOMPARE(dashboard->windowTitle(), QStringLiteral("Form"));
    QVERIFY(dashboard->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(!dashboard->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(label("label_conn")->styleSheet(), formConnQss);
    QCOMPARE(label("label_idx")->text(), QStringLiteral("0"));
    QCOMPARE(shownWarnIcons(), 0);
    QVERIFY(button("btn_clean")->isHidden());
    // No controller measures the weather: the header shows no reading.
    for (const char *reading : {"label_temp", "label_temp_2", "label_7"})
        QCOMPARE(label(reading)->text(), QStringLiteral("--"));
    for (const char *tile : tiles) {
        QPushButton *onoff = button(qPrintable(QStringLiteral("btn_%1_onoff").arg(QLatin1String(tile))));
        QVERIFY(onoff->isCheckable());
        QVERIFY(!onoff->isChecked());
    }
}

void TestDevices::tileStacking_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("bottomToTop");

    QTest::newRow("air conditioner") << "frame_air"
                                     << QStringList{"label_air_onoff", "label_air_temp", "label_2", "label_air_mode",
                                                    "label_air_img",   "label_9",        "btn_air", "btn_air_onoff"};
    QTest::newRow("television") << "frame_tv" << QStringList{"label_tv_img",    "label_tv_onoff",
                                                             "label_tv_bright", "label_tv_bright_icon",
                                                             "label_tv_vol",    "label_tv_vol_icon",
                                                             "label_10",        "btn_tv",
                                                             "btn_tv_onoff"};
    QTest::newRow("light") << "frame_light"
                           << QStringList{"label_8", "label_light_img", "label_light_onoff", "btn_light",
                                          "btn_light_onoff"};
    QTest::newRow("curtain") << "frame_curtain"
                             << QStringList{"label_curtain_onoff", "label_12", "label_curtain_img", "btn_curtain",
                                            "btn_curtain_onoff"};
    QTest::newRow("fan") << "frame_wind"
                         << QStringList{"label_wind_onoff", "label_13", "label_wind_img", "btn_wind", "btn_wind_onoff"};
}

// The touch area covers the tile's pictures and captions; the switch lies above the touch area.
void TestDevices::tileStacking()
{
    QFETCH(QString, frame);
    QFETCH(QStringList, bottomToTop);

    auto *tile = dashboard->findChild<QFrame *>(frame);
    QVERIFY(tile);
    QStringList children;
    for (QObject *child : tile->children())
        children.append(child->objectName());
    QCOMPARE(children, bottomToTop);

    const QString touchArea = bottomToTop.at(bottomToTop.size() - 2);
    const QString onoff = bottomToTop.last();
    for (const QString &name : bottomToTop.mid(0, bottomToTop.size() - 2)) {
        QWidget *labelWidget = tile->findChild<QWidget *>(name);
        QCOMPARE(tile->childAt(labelWidget->geometry().center())->objectName(), touchArea);
    }
    QWidget *switchWidget = tile->findChild<QWidget *>(onoff);
    QCOMPARE(switchWidget->geometry(), QRect(160, 200, 101, 51));
    QCOMPARE(tile->childAt(switchWidget->geometry().center())->objectName(), onoff);
}

void TestDevices::touchOnTileOpensApplianceScreen_data()
{
    QTest::addColumn<QString>("captionLabel");
    QTest::addColumn<QString>("onoff");
    QTest::addColumn<QString>("screen");

    QTest::newRow("air conditioner") << "label_2"
                                     << "btn_air_onoff"
                                     << "Aircond";
    QTest::newRow("television") << "label_10"
                                << "btn_tv_onoff"
                                << "Tv";
    QTest::newRow("light") << "label_8"
                           << "btn_light_onoff"
                           << "Light1";
    QTest::newRow("curtain") << "label_12"
                             << "btn_curtain_onoff"
                             << "Curtain";
    QTest::newRow("fan") << "label_13"
                         << "btn_wind_onoff"
                         << "Wind";
}

void TestDevices::touchOnTileOpensApplianceScreen()
{
    QFETCH(QString, captionLabel);
    QFETCH(QString, onoff);
    QFETCH(QString, screen);
    select(0, 0);

    QWidget *onoffButton = dashboard->findChild<QWidget *>(onoff);
    clickAt(onoffButton->mapTo(dashboard, onoffButton->rect().center()));
    for (QWidget *appliance : applianceScreens())
        QVERIFY(appliance->isHidden());

    QWidget *caption = dashboard->findChild<QWidget *>(captionLabel);
    clickAt(caption->mapTo(dashboard, caption->rect().center()));
    for (QWidget *appliance : applianceScreens())
        QCOMPARE(appliance->isVisible(), appliance == applianceScreen(screen));
}

void TestDevices::connCaption_data()
{
    QTest::addColumn<int>("previousState");
    QTest::addColumn<int>("previousAlarm");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("captionQss");
    QTest::addColumn<bool>("clearButton");
    QTest::addColumn<int>("blinking");

    QTest::newRow("normal") << -1 << 0 << 0 << 0 << ".在线." << onlineQss << false << 0;
    QTest::newRow("alarm, all five") << -1 << 0 << 2 << 0xF8 << ".异常." << alarmQss << true << 0x1F;
    QTest::newRow("alarm, smoke and leakage") << -1 << 0 << 2 << 0x88 << ".异常." << alarmQss << true << 0x11;
    QTest::newRow("alarm, a bit without icon") << -1 << 0 << 2 << 0x04 << ".异常." << alarmQss << true << 0;
    QTest::newRow("offline") << -1 << 0 << 3 << 0 << ".断线." << offlineQss << false << 0;
    QTest::newRow("normal ends an alarm") << 2 << 0xF8 << 0 << 0 << ".在线." << onlineQss << false << 0;
    QTest::newRow("offline ends an alarm") << 2 << 0x40 << 3 << 0x40 << ".断线." << offlineQss << false << 0;
    QTest::newRow("requesting keeps the caption") << 0 << 0 << 1 << 0 << ".在线." << onlineQss << false << 0;
    QTest::newRow("requesting clears the icons") << 2 << 0x90 << 1 << 0x90 << ".异常." << alarmQss << false << 0;
    QTest::newRow("unknown state clears the icons") << 2 << 0x90 << 7 << 0x90 << ".异常." << alarmQss << false << 0;
}

void TestDevices::connCaption()
{
    QFETCH(int, previousState);
    QFETCH(int, previousAlarm);
    QFETCH(int, state);
    QFETCH(int, alarm);
    QFETCH(QString, caption);
    QFETCH(QString, captionQss);
    QFETCH(bool, clearButton);
    QFETCH(int, blinking);
    select(2, 1);
    if (previousState >= 0)
        Devices::updateConnState(2, 1, previousState, previousAlarm);

    Devices::updateConnState(2, 1, state, alarm);

    QCOMPARE(label("label_conn")->text(), caption);
    QCOMPARE(label("label_conn")->styleSheet(), captionQss);
    QCOMPARE(button("btn_clean")->isVisible(), clearButton);
    QCOMPARE(runningBlinkTimers(), blinking);
    QCOMPARE(shownWarnIcons(), 0);
}

// Driven through the timer slots: an icon shows at its timer's first tick, then toggles every tick.
void TestDevices::alarmIconsBlinkFromFirstTick()
{
    select(1, 2);
    Devices::updateConnState(1, 2, LinkAlarm, AlarmSmoke | AlarmCo2);

    QCOMPARE(runningBlinkTimers(), 0x01 | 0x04);
    for (int icon : {0, 2}) {
        QCOMPARE(blinkTimer(icon)->interval(), 500);
        QVERIFY(!blinkTimer(icon)->isSingleShot());
    }
    QCOMPARE(shownWarnIcons(), 0);
    tick(0);
    QCOMPARE(shownWarnIcons(), 0x01);
    tick(2);
    tick(0);
    QCOMPARE(shownWarnIcons(), 0x04);
    tick(0);
    QCOMPARE(shownWarnIcons(), 0x05);

    // Smoke is over at once; carbon dioxide goes on blinking.
    Devices::updateConnState(1, 2, LinkAlarm, AlarmCo2);
    QCOMPARE(runningBlinkTimers(), 0x04);
    QCOMPARE(shownWarnIcons(), 0x04);
    QVERIFY(button("btn_clean")->isVisible());

    Devices::updateConnState(1, 2, LinkNormal, 0);
    QCOMPARE(runningBlinkTimers(), 0);
    QCOMPARE(shownWarnIcons(), 0);
    QVERIFY(button("btn_clean")->isHidden());
}

// A repeated alarm bit leaves its running timer alone: it does not start the half second anew.
void TestDevices::alarmBlinksInRealTime()
{
    select(3, 0);
    // Shown and polished, the icons stay dark until an alarm lights them.
    QVERIFY(QTest::qWaitForWindowExposed(dashboard));
    QCOMPARE(shownWarnIcons(), 0);
    QElapsedTimer clock;
    clock.start();
    Devices::updateConnState(3, 0, LinkAlarm, AlarmLeakage);
    QVERIFY(!isPictureLit(warnIcon(4)));
    QTRY_VERIFY_WITH_TIMEOUT(blinkTimer(4)->remainingTime() <= 300, 1000);
    Devices::updateConnState(3, 0, LinkAlarm, AlarmLeakage | AlarmGas);
    QVERIFY2(blinkTimer(4)->remainingTime() <= 300, qPrintable(QString::number(blinkTimer(4)->remainingTime())));
    QVERIFY(!isPictureLit(warnIcon(4)));
    QTRY_VERIFY_WITH_TIMEOUT(isPictureLit(warnIcon(4)), 2000);
    QVERIFY2(clock.elapsed() >= 450, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(!isPictureLit(warnIcon(4)), 2000);
    QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
    Devices::updateConnState(3, 0, LinkOffline, 0);
}

void TestDevices::clearButtonClearsAlarms()
{
    select(3, 1);
    smallDevBaojingStates[1][3] = AlarmGas | 0x04;
    smallDevBaojingStates[1][2] = AlarmSmoke;
    Devices::updateConnState(3, 1, LinkAlarm, smallDevBaojingStates[1][3]);

    QTest::mouseClick(button("btn_clean"), Qt::LeftButton);

    QCOMPARE(smallDevBaojingStates[1][3], 0);
    QCOMPARE(smallDevBaojingStates[1][2], AlarmSmoke);
    QCOMPARE(buses.channel(1).read(7).toHex(' '), QByteArray("aa 03 00 00 00 00 ff"));
    QCOMPARE(nothingElseReceived(), QByteArray());
}

void TestDevices::otherControllersUpdatesIgnored_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("tongdao");
    QTest::newRow("other channel") << 2 << 3;
    QTest::newRow("other index") << 1 << 1;
    QTest::newRow("negative index") << -1 << 1;
    QTest::newRow("negative channel") << 2 << -1;
}

void TestDevices::otherControllersUpdatesIgnored()
{
    QFETCH(int, index);
    QFETCH(int, tongdao);
    select(2, 1);
    Devices::updateConnState(2, 1, LinkNormal, 0);

    Devices::updateConnState(index, tongdao, LinkAlarm, 0xF8);
    Devices::setWarnIcon(index, tongdao, false, 0xF8);

    QCOMPARE(label("label_conn")->text(), QStringLiteral(".在线."));
    QCOMPARE(label("label_conn")->styleSheet(), onlineQss);
    QCOMPARE(runningBlinkTimers(), 0);
    QVERIFY(button("btn_clean")->isHidden());
}

void TestDevices::switchSendsFrameAndStores_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<QString>("onoff");
    QTest::addColumn<QString>("stateLabel");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("fieldOffset");

    QTest::newRow("air conditioner") << 1 << 2 << "btn_air_onoff"
                                     << "label_air_onoff" << 6 << int(offsetof(SmallDevInfo, airOn));
    QTest::newRow("television") << 3 << 0 << "btn_tv_onoff"
                                << "label_tv_onoff" << 5 << int(offsetof(SmallDevInfo, tvOn));
    QTest::newRow("light, main circuit") << 0 << 3 << "btn_light_onoff"
                                         << "label_light_onoff" << 10 << int(offsetof(SmallDevInfo, mainOn));
    QTest::newRow("curtain") << 2 << 1 << "btn_curtain_onoff"
                             << "label_curtain_onoff" << 4 << int(offsetof(SmallDevInfo, curtainOn));
    QTest::newRow("fan") << 0 << 0 << "btn_wind_onoff"
                         << "label_wind_onoff" << 7 << int(offsetof(SmallDevInfo, windOn));
}

void TestDevices::switchSendsFrameAndStores()
{
    QFETCH(int, index);
    QFETCH(int, tongdao);
    QFETCH(QString, onoff);
    QFETCH(QString, stateLabel);
    QFETCH(int, code);
    QFETCH(int, fieldOffset);
    select(index, tongdao);
    QPushButton *onoffButton = button(qPrintable(onoff));
    QLabel *state = label(qPrintable(stateLabel));

    QTest::mouseClick(onoffButton, Qt::LeftButton);
    QCOMPARE(buses.channel(tongdao).read(7).toHex(' '), switchFrame(index, code, true).toHex(' '));
    QCOMPARE(field(smallDevInfos[tongdao][index], fieldOffset), 1);
    QCOMPARE(onoffButton->styleSheet(), switchOnQss);
    QCOMPARE(state->text(), QStringLiteral("ON"));
    QCOMPARE(state->styleSheet(), QStringLiteral("color: rgb(50, 251, 50);"));

    QTest::mouseClick(onoffButton, Qt::LeftButton);
    QCOMPARE(buses.channel(tongdao).read(7).toHex(' '), switchFrame(index, code, false).toHex(' '));
    QCOMPARE(field(smallDevInfos[tongdao][index], fieldOffset), 0);
    QCOMPARE(onoffButton->styleSheet(), switchOffQss);
    QCOMPARE(state->text(), QStringLiteral("OFF"));
    QCOMPARE(state->styleSheet(), QStringLiteral("color: rgb(136, 138, 133);"));

    QCOMPARE(nothingElseReceived(), QByteArray());
}

void TestDevices::switchOnEitherViewShowsOnTheOther_data()
{
    QTest::addColumn<QString>("tileSwitch");
    QTest::addColumn<QString>("tileState");
    QTest::addColumn<QString>("screenName");
    QTest::addColumn<QString>("screenSwitch");

    QTest::newRow("air conditioner") << "btn_air_onoff"
                                     << "label_air_onoff"
                                     << "Aircond"
                                     << "btn_onoff";
    QTest::newRow("television") << "btn_tv_onoff"
                                << "label_tv_onoff"
                                << "Tv"
                                << "btn_onoff";
    QTest::newRow("main light") << "btn_light_onoff"
                                << "label_light_onoff"
                                << "Light1"
                                << "btn_sw_main";
    QTest::newRow("fan") << "btn_wind_onoff"
                         << "label_wind_onoff"
                         << "Wind"
                         << "btn_onoff";
}

// The appliance screens leave the tiles beside them touchable, so both views must agree at once.
void TestDevices::switchOnEitherViewShowsOnTheOther()
{
    QFETCH(QString, tileSwitch);
    QFETCH(QString, tileState);
    QFETCH(QString, screenName);
    QFETCH(QString, screenSwitch);
    select(1, 2);
    QWidget *screen = applianceScreen(screenName);
    screen->show();
    auto *onScreen = screen->findChild<QPushButton *>(screenSwitch);

    QTest::mouseClick(button(qPrintable(tileSwitch)), Qt::LeftButton);
    QVERIFY(onScreen->isChecked());

    QTest::mouseClick(onScreen, Qt::LeftButton);
    QVERIFY(!button(qPrintable(tileSwitch))->isChecked());
    QCOMPARE(label(qPrintable(tileState))->text(), QStringLiteral("OFF"));
    buses.discardPending();
}

void TestDevices::commandThatCannotLeaveChangesNothing_data()
{
    QTest::addColumn<QString>("screenName");
    QTest::addColumn<QString>("control");

    QTest::newRow("dashboard switch") << "Devices"
                                      << "btn_wind_onoff";
    QTest::newRow("dimmer release") << "Light1"
                                    << "hs_main";
}

// Channel 2's port closed, as after a hang-up: whatever is touched stays as the controller holds it,
// and the screen says why.
void TestDevices::commandThatCannotLeaveChangesNothing()
{
    QFETCH(QString, screenName);
    QFETCH(QString, control);
    smallDevInfos[2][1].mainOn = 1;
    smallDevInfos[2][1].mainBright = 30;
    select(1, 2);
    QWidget *screen = screenName == QLatin1String("Devices") ? dashboard : applianceScreen(screenName);
    if (screen != dashboard) {
        screen->show();
        Devices::updateAllSubDevs();
    }
    const QByteArray tablesBefore = deviceTablesSnapshot();
    MainWindow::getCom(2)->close();

    if (auto *slider = screen->findChild<QSlider *>(control)) {
        slider->setSliderDown(true);
        slider->setValue(90);
        slider->setSliderDown(false);
        QCOMPARE(slider->value(), 30);
    } else {
        auto *pressed = screen->findChild<QPushButton *>(control);
        const bool wasChecked = pressed->isChecked();
        QTest::mouseClick(pressed, Qt::LeftButton);
        QCOMPARE(pressed->isChecked(), wasChecked);
    }
    QVERIFY(MainWindow::getCom(2)->open(QIODevice::ReadWrite));

    QCOMPARE(deviceTablesSnapshot(), tablesBefore);
    auto *notice = screen->findChild<QLabel *>(QStringLiteral("commandNotice"));
    QVERIFY(notice && notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("没有可用串口3，未发送"));
    QCOMPARE(nothingElseReceived(), QByteArray());
    notice->hide();
}

void TestDevices::updateItemsSubReloadsKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("reloaded");

    QTest::newRow("0 all") << 0 << QStringList{"air", "tv", "light", "curtain", "wind"};
    QTest::newRow("1 air conditioner") << 1 << QStringList{"air"};
    QTest::newRow("2 television") << 2 << QStringList{"tv"};
    QTest::newRow("3 light") << 3 << QStringList{"light"};
    QTest::newRow("4 fan") << 4 << QStringList{"wind"};
    QTest::newRow("5 curtain") << 5 << QStringList{"curtain"};
    QTest::newRow("6 nothing") << 6 << QStringList{};
    QTest::newRow("-1 nothing") << -1 << QStringList{};
}

// Any non-zero field counts as on.
void TestDevices::updateItemsSubReloadsKind()
{
    QFETCH(int, kind);
    QFETCH(QStringList, reloaded);
    select(2, 2);
    SmallDevInfo &record = smallDevInfos[2][2];
    record.airOn = record.tvOn = record.mainOn = record.curtainOn = record.windOn = 2;
    record.airTemp = 27;
    record.tvVol = 44;
    record.tvBright = 55;

    Devices::updateItems_sub(2, 2, kind);

    for (const char *tile : tiles) {
        const bool on = reloaded.contains(QLatin1String(tile));
        QPushButton *onoff = button(qPrintable(QStringLiteral("btn_%1_onoff").arg(QLatin1String(tile))));
        QLabel *state = label(qPrintable(QStringLiteral("label_%1_onoff").arg(QLatin1String(tile))));
        QVERIFY2(onoff->isChecked() == on, tile);
        QCOMPARE(onoff->styleSheet(), on ? switchOnQss : switchOffQss);
        QCOMPARE(state->text(), on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    }
    QCOMPARE(label("label_air_temp")->text(), reloaded.contains("air") ? QStringLiteral("27") : QStringLiteral("18"));
    QCOMPARE(label("label_tv_vol")->text(), reloaded.contains("tv") ? QStringLiteral("44") : QStringLiteral("0"));
    QCOMPARE(label("label_tv_bright")->text(), reloaded.contains("tv") ? QStringLiteral("55") : QStringLiteral("0"));
    QCOMPARE(nothingElseReceived(), QByteArray());
}

void TestDevices::reloadTurnsTilesOffAgain()
{
    select(1, 1);
    SmallDevInfo &record = smallDevInfos[1][1];
    record.airOn = record.tvOn = record.mainOn = record.curtainOn = record.windOn = 1;
    Devices::updateItems_sub(1, 1, 0);
    record = SmallDevInfo{};

    Devices::updateItems_sub(1, 1, 0);

    for (const char *tile : tiles) {
        QPushButton *onoff = button(qPrintable(QStringLiteral("btn_%1_onoff").arg(QLatin1String(tile))));
        QVERIFY2(!onoff->isChecked(), tile);
        QCOMPARE(onoff->styleSheet(), switchOffQss);
    }
}

void TestDevices::selectingLoadsTilesAndRoomNumber()
{
    smallDevInfos[3][2].windOn = 1;
    smallDevInfos[3][2].mainOn = 1;
    smallDevInfos[3][2].airTemp = 22;

    select(2, 3);

    QCOMPARE(Devices::getIndex(), 2);
    QCOMPARE(Devices::getTongdao(), 3);
    QCOMPARE(label("label_idx")->text(), QStringLiteral("3"));
    // Rooms of different buses share their numbers: the bus is named too.
    QCOMPARE(label("label_tong")->text(), QStringLiteral("4"));
    QVERIFY(label("label_11")->isVisibleTo(dashboard) && label("label_tong")->isVisibleTo(dashboard));
    QVERIFY(button("btn_wind_onoff")->isChecked());
    QVERIFY(button("btn_light_onoff")->isChecked());
    QVERIFY(!button("btn_air_onoff")->isChecked());
    QCOMPARE(label("label_air_temp")->text(), QStringLiteral("22"));
}

void TestDevices::returnButtonLeavesController()
{
    select(2, 3);
    Devices::updateConnState(2, 3, LinkAlarm, AlarmSmoke | AlarmTemperature);
    tick(0);
    for (QWidget *screen : applianceScreens())
        screen->show();

    QTest::mouseClick(button("btn_return"), Qt::LeftButton);

    QCOMPARE(Devices::getIndex(), -1);
    QCOMPARE(Devices::getTongdao(), 3);
    QVERIFY(dashboard->isHidden());
    for (QWidget *screen : applianceScreens())
        QVERIFY(screen->isHidden());
    QCOMPARE(runningBlinkTimers(), 0);
    // The icons stay as they were; the next controller's state sets them.
    QCOMPARE(shownWarnIcons(), 0x01);
    QVERIFY(dashboard->findChild<QTimer *>(QStringLiteral("clockTimer"))->isActive());

    // Nothing is shown now: updates are ignored and a switch only changes its look.
    Devices::updateConnState(2, 3, LinkNormal, 0);
    QCOMPARE(label("label_conn")->text(), QStringLiteral(".异常."));
    dashboard->show();
    QTest::mouseClick(button("btn_tv_onoff"), Qt::LeftButton);
    QVERIFY(button("btn_tv_onoff")->isChecked());
    QCOMPARE(smallDevInfos[3][2].tvOn, 0);
    QCOMPARE(nothingElseReceived(), QByteArray());
}

void TestDevices::clockCaption_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("caption");
    QTest::newRow("10 January, midnight") << QDateTime(QDate(2027, 1, 10), QTime(0, 0, 0)) << "2027年1月10日 00:00:00";
    QTest::newRow("one-digit day and month") << QDateTime(QDate(2015, 1, 1), QTime(8, 5, 9)) << "2015年1月1日 08:05:09";
    QTest::newRow("end of year") << QDateTime(QDate(2030, 12, 31), QTime(23, 59, 59)) << "2030年12月31日 23:59:59";
}

void TestDevices::clockCaption()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, caption);
    QCOMPARE(::clockCaption(now), caption);
}

void TestDevices::clockTickShowsNow()
{
    auto *clock = dashboard->findChild<QTimer *>(QStringLiteral("clockTimer"));
    QVERIFY(clock->isActive());
    QCOMPARE(clock->interval(), 1000);

    dashboard->show();
    const QString before = ::clockCaption(QDateTime::currentDateTime());
    QVERIFY(QMetaObject::invokeMethod(dashboard, "showtimeTimeout"));
    const QString after = ::clockCaption(QDateTime::currentDateTime());
    const QString shown = label("label_datetime")->text();
    QVERIFY2(shown == before || shown == after, qPrintable(shown));

    // Hidden, a tick leaves the clock alone; it is now again as the dashboard shows.
    dashboard->hide();
    label("label_datetime")->clear();
    QVERIFY(QMetaObject::invokeMethod(dashboard, "showtimeTimeout"));
    QVERIFY(label("label_datetime")->text().isEmpty());
    dashboard->show();
    QVERIFY(label("label_datetime")->text().startsWith(QString::number(QDate::currentDate().year())));
}

void TestDevices::selectionShowsLastKnownState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("captionQss");
    QTest::addColumn<bool>("clearButton");
    QTest::addColumn<int>("blinking");

    QTest::newRow("alarm") << 2 << 0x48 << ".异常." << alarmQss << true << 0x12;
    QTest::newRow("normal") << 0 << 0 << ".在线." << onlineQss << false << 0;
    QTest::newRow("offline") << 3 << 0 << ".断线." << offlineQss << false << 0;
    QTest::newRow("requesting is not a state to show") << 1 << 0 << ".断线." << formConnQss << false << 0;
    QTest::newRow("nothing known") << -1 << 0 << ".断线." << formConnQss << false << 0;
}

// The last state the bus passed on for a controller shows as soon as a tile selects it, not only
// at its next poll; nothing of the controller shown before stays behind.
void TestDevices::selectionShowsLastKnownState()
{
    QFETCH(int, state);
    QFETCH(int, alarm);
    QFETCH(QString, caption);
    QFETCH(QString, captionQss);
    QFETCH(bool, clearButton);
    QFETCH(int, blinking);
    select(0, 0);
    Devices::updateConnState(0, 0, LinkAlarm, 0xF8);
    for (int icon = 0; icon < 5; ++icon)
        tick(icon);
    // As the poll cycle passes a verdict on: into the store, then to the dashboard.
    if (state >= 0) {
        ControllerStates::instance()->judge(2, 1, state, alarm);
        Devices::updateConnState(2, 1, state, alarm);
    }
    QTest::mouseClick(button("btn_return"), Qt::LeftButton);

    select(2, 1);

    QCOMPARE(label("label_conn")->text(), caption);
    QCOMPARE(label("label_conn")->styleSheet(), captionQss);
    QCOMPARE(button("btn_clean")->isVisible(), clearButton);
    QCOMPARE(runningBlinkTimers(), blinking);
    QCOMPARE(shownWarnIcons(), 0);
}

void TestDevices::resetForgetsLinkStates()
{
    ControllerStates::instance()->judge(3, 3, LinkNormal, 0);
    resetDeviceTables();
    select(3, 3);
    QCOMPARE(label("label_conn")->text(), QStringLiteral(".断线."));
    QCOMPARE(label("label_conn")->styleSheet(), formConnQss);
}

void TestDevices::controllerOutsideTablesTouchesNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("tongdao");
    QTest::newRow("index 4 on channel 1") << 4 << 1;
    QTest::newRow("index 7 on channel 3") << 7 << 3;
    QTest::newRow("channel 4") << 1 << 4;
    QTest::newRow("index -1 on channel 2") << -1 << 2;
}

// getInstance(..., true) stores whatever it is given; no table is read or written for such a
// controller, neither in bounds of a neighbouring record nor beyond the tables.
void TestDevices::controllerOutsideTablesTouchesNothing()
{
    QFETCH(int, index);
    QFETCH(int, tongdao);
    select(0, 0);
    for (auto &channel : smallDevInfos) {
        for (SmallDevInfo &record : channel)
            record.airOn = record.tvOn = record.mainOn = record.curtainOn = record.windOn = 1;
    }
    std::memset(smallDevBaojingStates, AlarmSmoke, sizeof smallDevBaojingStates);
    SmallDevInfo infosBefore[ChannelCount][DevicesPerChannel];
    std::memcpy(infosBefore, smallDevInfos, sizeof infosBefore);
    Devices::getInstance(index, tongdao, true);

    Devices::updateItems_sub(qMax(index, 0), qMax(tongdao, 0), 0);
    for (const char *tile : tiles)
        QVERIFY2(!button(qPrintable(QStringLiteral("btn_%1_onoff").arg(QLatin1String(tile))))->isChecked(), tile);
    for (const char *tile : tiles)
        QTest::mouseClick(button(qPrintable(QStringLiteral("btn_%1_onoff").arg(QLatin1String(tile)))), Qt::LeftButton);
    QVERIFY(QMetaObject::invokeMethod(dashboard, "on_btn_clean_clicked"));
    dashboard->updateItems(index, tongdao);

    QCOMPARE(nothingElseReceived(), QByteArray());
    QVERIFY(std::memcmp(infosBefore, smallDevInfos, sizeof infosBefore) == 0);
    for (const auto &channel : smallDevBaojingStates) {
        for (unsigned char alarm : channel)
            QCOMPARE(alarm, AlarmSmoke);
    }
    Devices::getInstance(-1, -1, true);
}

QTEST_MAIN(TestDevices)
#include "tst_devices.moc"
