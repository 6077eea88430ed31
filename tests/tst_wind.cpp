#include "screens/appliances/wind.h"
#include "bus/devicetables.h"
#include "screens/devices.h"

#include "busterminals.h"
#include "messagelog.h"
#include "paneltest.h"

#include <QPushButton>
#include <QtTest>

// The fan screen against the frames on the wire and the state tables.
class TestWind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void isOneCentredWindowStartingOff();
    void switchSendsAndStores_data();
    void switchSendsAndStores();
    void switchWithoutControllerOnlyChangesLook_data();
    void switchWithoutControllerOnlyChangesLook();
    void updateItemsFollowsRecord_data();
    void updateItemsFollowsRecord();
    void updateItemsWithoutControllerChangesNothing();
    void backButtonHides();

private:
    QPushButton *onoff() const { return screen->findChild<QPushButton *>(QStringLiteral("btn_onoff")); }
    void showRecord(int tongdao, int index, unsigned char windOn);
    bool showsOn() const;

    BusTerminals buses;
    Wind *screen = nullptr;
};

void TestWind::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    QVERIFY(buses.openMainWindow());
    QVERIFY(!Wind::ifInstance());
    screen = Wind::getInstance();
    QCOMPARE(Wind::getInstance(), screen);
    QCOMPARE(MessageLog::count(QStringLiteral("new Wind")), 1);
    screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(screen));
}

void TestWind::init()
{
    resetDeviceTables();
    Devices::getInstance(-1, -1, true);
    buses.discardPending();
    MessageLog::clear();
}

void TestWind::showRecord(int tongdao, int index, unsigned char windOn)
{
    Devices::getInstance(index, tongdao, true);
    smallDevInfos[tongdao][index].windOn = windOn;
    screen->updateItems();
}

bool TestWind::showsOn() const
{
    return onoff()->styleSheet().contains(QLatin1String("url(:/swon.png)"));
}

// Runs first: the constructor does not read the record, the dashboard's updateItems() does.
void TestWind::isOneCentredWindowStartingOff()
{
    QVERIFY(!onoff()->isChecked());
    QVERIFY(!showsOn());
    QVERIFY(Wind::ifInstance());
    const QString mismatch = PanelTest::applianceWindowMismatch(screen, QStringLiteral("风扇"));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestWind::switchSendsAndStores_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("wasOn");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("on, channel 3 device 1") << 3 << 1 << false << QByteArray::fromHex("AA0107010000FF");
    QTest::newRow("off, channel 3 device 1") << 3 << 1 << true << QByteArray::fromHex("AA0107020000FF");
    QTest::newRow("on, channel 0 device 2") << 0 << 2 << false << QByteArray::fromHex("AA0207010000FF");
    QTest::newRow("off, channel 2 device 0") << 2 << 0 << true << QByteArray::fromHex("AA0007020000FF");
}

void TestWind::switchSendsAndStores()
{
    QFETCH(int, tongdao);
    QFETCH(int, index);
    QFETCH(bool, wasOn);
    QFETCH(QByteArray, frame);
    showRecord(tongdao, index, wasOn ? 1 : 0);
    MessageLog::clear();

    QTest::mouseClick(onoff(), Qt::LeftButton);

    QCOMPARE(buses.read(tongdao, frame.size()).toHex(' '), frame.toHex(' '));
    QCOMPARE(buses.anySent(), QByteArray());
    QCOMPARE(smallDevInfos[tongdao][index].windOn, static_cast<unsigned char>(wasOn ? 0 : 1));
    QCOMPARE(onoff()->isChecked(), !wasOn);
    QCOMPARE(showsOn(), !wasOn);
    QCOMPARE(MessageLog::count(QStringLiteral("on_btn_onoff_clicked %1").arg(wasOn ? 0 : 1)), 1);
}

void TestWind::switchWithoutControllerOnlyChangesLook_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("index");

    QTest::newRow("no dashboard controller") << -1 << -1;
    QTest::newRow("after the dashboard's return") << 1 << -1;
    QTest::newRow("index off the bus") << 1 << 4;
}

void TestWind::switchWithoutControllerOnlyChangesLook()
{
    QFETCH(int, tongdao);
    QFETCH(int, index);
    Devices::getInstance(index, tongdao, true);
    const bool wasChecked = onoff()->isChecked();
    const QByteArray tables = deviceTablesSnapshot();

    QTest::mouseClick(onoff(), Qt::LeftButton);

    QCOMPARE(onoff()->isChecked(), !wasChecked);
    QCOMPARE(showsOn(), !wasChecked);
    QCOMPARE(MessageLog::count(QStringLiteral("on_btn_onoff_clicked %1").arg(wasChecked ? 0 : 1)), 1);
    QCOMPARE(buses.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
}

void TestWind::updateItemsFollowsRecord_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("windOn");
    QTest::addColumn<bool>("on");

    QTest::newRow("off to on") << 0 << 1 << true;
    QTest::newRow("on to off") << 1 << 0 << false;
    QTest::newRow("2 counts as on") << 0 << 2 << true;
    QTest::newRow("2 again keeps it on") << 2 << 2 << true;
    QTest::newRow("off stays off") << 0 << 0 << false;
}

void TestWind::updateItemsFollowsRecord()
{
    QFETCH(int, before);
    QFETCH(int, windOn);
    showRecord(1, 3, static_cast<unsigned char>(before));

    smallDevInfos[1][3].windOn = static_cast<unsigned char>(windOn);
    screen->updateItems();

    QTEST(onoff()->isChecked(), "on");
    QTEST(showsOn(), "on");
    QCOMPARE(buses.anySent(), QByteArray());
    QCOMPARE(smallDevInfos[1][3].windOn, static_cast<unsigned char>(windOn));
    QCOMPARE(MessageLog::matching(QStringLiteral("on_btn_onoff_clicked")), QStringList());
}

void TestWind::updateItemsWithoutControllerChangesNothing()
{
    showRecord(0, 0, 0);
    for (auto &channel : smallDevInfos) {
        for (SmallDevInfo &record : channel)
            record.windOn = 1;
    }
    Devices::getInstance(-1, 0, true);

    screen->updateItems();

    QVERIFY(!onoff()->isChecked());
    QVERIFY(!showsOn());
}

void TestWind::backButtonHides()
{
    QTest::mouseClick(screen->findChild<QPushButton *>(QStringLiteral("btn_return")), Qt::LeftButton);
    QVERIFY(screen->isHidden());
    QCOMPARE(Wind::getInstance(), screen);
    screen->show();
}

QTEST_MAIN(TestWind)
#include "tst_wind.moc"
