#include "app/mainwindow.h"
#include "bus/devicetables.h"
#include "screens/appliances/aircond.h"
#include "screens/buscontrol.h"
#include "screens/devices.h"
#include "screens/devitem.h"
#include "screens/shared/clockcaption.h"
#include "wire/wire.h"

#include "busterminals.h"
#include "messagelog.h"
#include "paneltest.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <array>

// The panel's hot paths, each with what the event loop then does for it (the repaint of what it
// changed). Run with -callgrind under valgrind for instruction counts that do not depend on the
// machine's load; CTest runs a few iterations of each (label "bench").
class BenchHotPaths : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void pollTickAndRead_data();
    void pollTickAndRead();
    void setItemState_data();
    void setItemState();
    void dashboardRefresh_data();
    void dashboardRefresh();
    void switchClickToFrame();
    void clockTickAndBlink();

private:
    void showDashboard(bool shown);
    void settle();
    void discardFrames();
    std::array<QByteArray, ChannelCount> repliesOfPolledControllers() const;
    QLabel *tileCaption(int channel, int index) const;

    BusTerminals buses;
    BusControl *busControl = nullptr;
    Devices *dashboard = nullptr;
    QTimer *readTimer = nullptr;
};

namespace {
// The room on show raises all five alarms, so that every icon blinks.
constexpr int ShownChannel = 0;
constexpr int ShownIndex = 0;
constexpr unsigned char AllAlarms = 0xF8;

int polledIndex(int channel)
{
    const int *const indices[ChannelCount] = {&searchIndex, &searchIndex2, &searchIndex3, &searchIndex4};
    return *indices[channel];
}

QByteArray fullReply(int channel, int index)
{
    QByteArray reply(Wire::FullReplySize, char(0));
    reply[0] = char(Wire::FullReplyStart);
    reply[1] = char(index);
    reply[2] = char(channel == ShownChannel && index == ShownIndex ? AllAlarms : 0);
    reply[11] = 1;                // main light on
    reply[17] = char(index & 1);  // television
    reply[19] = 20;               // volume
    reply[23] = char(20 + index); // set temperature
    reply[30] = char(Wire::fullReplyChecksum(reply));
    return reply;
}
} // namespace

void BenchHotPaths::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    QVERIFY(buses.openMainWindow());
    PanelTest::createQuietBusControl();
    busControl = BusControl::getInstance();
    readTimer = busControl->findChild<QTimer *>(QStringLiteral("readTimer"));
    QVERIFY(readTimer);
    busControl->show();

    // What a touch on the first tile does: the dashboard of that room, and with it every screen.
    dashboard = Devices::getInstance(ShownIndex, ShownChannel, false);
    dashboard->setIndex(ShownIndex);
    dashboard->setTongdao(ShownChannel);
    dashboard->updateItems(ShownIndex, ShownChannel);
    showDashboard(true);
    busControl->setItemState(ShownIndex, ShownChannel, LinkAlarm, AllAlarms, 0);
    QVERIFY(QTest::qWaitForWindowExposed(dashboard));
}

void BenchHotPaths::init()
{
    resetDeviceTables();
    MessageLog::clear();
    buses.discardPending();
}

// The real order: the dashboard opens over the bus control screen and its return button hides it.
void BenchHotPaths::showDashboard(bool shown)
{
    if (shown) {
        dashboard->show();
        Devices::updateConnState(ShownIndex, ShownChannel, LinkAlarm, AllAlarms);
    } else {
        dashboard->hide();
    }
    settle();
}

// What the event loop does next for the change: the bytes out, layouts and the repaint.
void BenchHotPaths::settle()
{
    QCoreApplication::processEvents();
}

// Without waiting: the bytes of a settled tick are on the terminals already.
void BenchHotPaths::discardFrames()
{
    for (int channel = 0; channel < ChannelCount; ++channel)
        buses.channel(channel).readAvailable();
}

std::array<QByteArray, ChannelCount> BenchHotPaths::repliesOfPolledControllers() const
{
    std::array<QByteArray, ChannelCount> replies;
    for (int channel = 0; channel < ChannelCount; ++channel)
        replies[channel] = fullReply(channel, polledIndex(channel));
    return replies;
}

QLabel *BenchHotPaths::tileCaption(int channel, int index) const
{
    const QList<DevItem *> tiles = busControl->findChildren<DevItem *>();
    // initItems creates them channel by channel, index by index.
    return tiles.at(channel * DevicesPerChannel + index)->getLabelState();
}

void BenchHotPaths::pollTickAndRead_data()
{
    QTest::addColumn<bool>("dashboardOnTop");
    QTest::newRow("bus control screen on top") << false;
    QTest::newRow("dashboard in alarm on top") << true;
}

// One tick polls one controller per bus; four of them go once round all sixteen.
void BenchHotPaths::pollTickAndRead()
{
    QFETCH(bool, dashboardOnTop);
    showDashboard(dashboardOnTop);

    QBENCHMARK
    {
        busControl->sendCommand();
        busControl->handleReplies(repliesOfPolledControllers());
        readTimer->stop();
        settle();
        discardFrames();
    }

    for (int channel = 0; channel < ChannelCount; ++channel) {
        const int index = polledIndex(channel);
        const bool alarm = channel == ShownChannel && index == ShownIndex;
        QCOMPARE(tileCaption(channel, index)->text(),
                 alarm ? QStringLiteral("警报：\n\n烟\n可燃气体\n二氧化碳\n温度\n漏电\n") : QStringLiteral("正常"));
    }
    QCOMPARE(retry1 + retry2 + retry3 + retry4, 0);
    showDashboard(true);
}

void BenchHotPaths::setItemState_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<bool>("dashboardOnTop");
    QTest::addColumn<QString>("caption");

    QTest::newRow("requesting, then normal") << int(LinkNormal) << 0 << false << QStringLiteral("正常");
    QTest::newRow("requesting, then smoke") << int(LinkAlarm) << 0x80 << false << QStringLiteral("警报：\n\n烟\n");
    QTest::newRow("requesting, then offline") << int(LinkOffline) << 0 << false << QStringLiteral("设备断线");
    QTest::newRow("under the dashboard") << int(LinkNormal) << 0 << true << QStringLiteral("正常");
}

// Every poll turns the tile of the polled controller amber and the read 300 ms later turns it back.
void BenchHotPaths::setItemState()
{
    QFETCH(int, answer);
    QFETCH(int, alarm);
    QFETCH(bool, dashboardOnTop);
    QFETCH(QString, caption);
    showDashboard(dashboardOnTop);
    constexpr int Index = 1;

    QBENCHMARK
    {
        busControl->setItemState(Index, ShownChannel, LinkRequesting, 0, 0);
        settle();
        busControl->setItemState(Index, ShownChannel, answer, static_cast<unsigned char>(alarm), 0);
        settle();
    }

    QCOMPARE(tileCaption(ShownChannel, Index)->text(), caption);
    showDashboard(true);
}

void BenchHotPaths::dashboardRefresh_data()
{
    QTest::addColumn<bool>("recordChanges");
    QTest::addColumn<bool>("aircondShown");

    QTest::newRow("record unchanged") << false << false;
    QTest::newRow("record changed") << true << false;
    QTest::newRow("record changed, air conditioner screen shown") << true << true;
}

// What the dashboard does after a reply or a change on an appliance screen.
void BenchHotPaths::dashboardRefresh()
{
    QFETCH(bool, recordChanges);
    QFETCH(bool, aircondShown);
    Aircond *aircond = Aircond::getInstance();
    aircond->setVisible(aircondShown);
    SmallDevInfo &record = smallDevInfos[ShownChannel][ShownIndex];
    auto *tvSwitch = dashboard->findChild<QPushButton *>(QStringLiteral("btn_tv_onoff"));
    auto *airTemp = dashboard->findChild<QLabel *>(QStringLiteral("label_air_temp"));
    QVERIFY(tvSwitch && airTemp);
    const auto refresh = [] {
        Devices::updateItems_sub(ShownIndex, ShownChannel, 0);
        Devices::updateAllSubDevs();
    };
    refresh();
    settle();

    QBENCHMARK
    {
        // Against what the tiles show now, so that every iteration changes them.
        if (recordChanges) {
            record.tvOn = !tvSwitch->isChecked();
            record.airOn = record.tvOn;
            record.airTemp = airTemp->text() == QLatin1String("18") ? 26 : 18;
        }
        refresh();
        settle();
    }

    QCOMPARE(airTemp->text(), QString::number(record.airTemp));
    QCOMPARE(tvSwitch->isChecked(), record.tvOn != 0);
    aircond->hide();
}

// From the click on the dashboard's fan switch to its frame on the bus.
void BenchHotPaths::switchClickToFrame()
{
    auto *fanSwitch = dashboard->findChild<QPushButton *>(QStringLiteral("btn_wind_onoff"));
    QVERIFY(fanSwitch);
    settle();
    QByteArray frame;

    QBENCHMARK
    {
        QTest::mouseClick(fanSwitch, Qt::LeftButton);
        frame = buses.read(ShownChannel, Wire::CommandFrameSize);
        settle();
    }

    QCOMPARE(frame.left(3), QByteArray::fromHex("AA0007"));
    QCOMPARE(frame.at(3) == 1, fanSwitch->isChecked());
}

// What the dashboard in alarm does three times a second without any input: the clock's tick and the
// five icons going off and on again. The tick is the clock timer's own work with the next second's
// caption, so that every iteration changes the text.
void BenchHotPaths::clockTickAndBlink()
{
    auto *clock = dashboard->findChild<QLabel *>(QStringLiteral("label_datetime"));
    QVERIFY(clock);
    settle();
    int tick = 0;

    QBENCHMARK
    {
        clock->setText(clockCaption(QDateTime::currentDateTime().addSecs(++tick)));
        settle();
        for (int pass = 0; pass < 2; ++pass) {
            for (const char *slot : {"slotTimeout0", "slotTimeout1", "slotTimeout2", "slotTimeout3", "slotTimeout4"})
                QMetaObject::invokeMethod(dashboard, slot);
            settle();
        }
    }

    QVERIFY(clock->text().contains(QLatin1Char(':')));
}

QTEST_MAIN(BenchHotPaths)
#include "bench_hotpaths.moc"
