#include "screens/appliances/aircond.h"
#include "bus/devicetables.h"
#include "screens/devices.h"

#include "busterminals.h"
#include "messagelog.h"
#include "paneltest.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

// The air-conditioner screen against the frames on the wire and the state tables.
class TestAircond : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void isOneCentredWindow();
    void powerButtonSendsAndStores_data();
    void powerButtonSendsAndStores();
    void powerButtonWithoutControllerOnlyChangesLook_data();
    void powerButtonWithoutControllerOnlyChangesLook();
    void temperatureStepsFromWhatIsShown_data();
    void temperatureStepsFromWhatIsShown();
    void temperatureWithoutControllerStaysOnScreen();
    void updateItemsLoadsRecord_data();
    void updateItemsLoadsRecord();
    void updateItemsWithoutControllerChangesNothing();
    void initItemsLoadsLookNotCheckedState();
    void speedSliderFillsFromFour_data();
    void speedSliderFillsFromFour();
    void speedAndModeButtonsSendAndStoreNothing();
    void backButtonHides();

private:
    template <typename T>
    T *widget(const char *name) const { return screen->findChild<T *>(QLatin1String(name)); }
    void showRecord(int tongdao, int index, const SmallDevInfo &record);
    void press(const QString &keys);
    bool showsOn() const;
    bool speedFilled() const;

    BusTerminals buses;
    Aircond *screen = nullptr;
};

void TestAircond::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    QVERIFY(buses.openMainWindow());
    QVERIFY(!Aircond::ifInstance());
    screen = Aircond::getInstance();
    QCOMPARE(Aircond::getInstance(), screen);
    QCOMPARE(MessageLog::count(QStringLiteral("new Aircond")), 1);
    screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(screen));
}

void TestAircond::init()
{
    resetDeviceTables();
    Devices::getInstance(-1, -1, true);
    buses.discardPending();
    MessageLog::clear();
}

void TestAircond::showRecord(int tongdao, int index, const SmallDevInfo &record)
{
    Devices::getInstance(index, tongdao, true);
    smallDevInfos[tongdao][index] = record;
    screen->updateItems();
}

void TestAircond::press(const QString &keys)
{
    for (const QChar key : keys)
        QTest::mouseClick(widget<QPushButton>(key == QLatin1Char('+') ? "btn_add" : "btn_reduce"), Qt::LeftButton);
}

bool TestAircond::showsOn() const
{
    return widget<QPushButton>("btn_onoff")->styleSheet().contains(QLatin1String("url(:/onoff1.png)"));
}

bool TestAircond::speedFilled() const
{
    return widget<QSlider>("hs_speed")->styleSheet().contains(QLatin1String("QSlider::sub-page:horizontal"));
}

void TestAircond::isOneCentredWindow()
{
    QVERIFY(Aircond::ifInstance());
    const QString mismatch = PanelTest::applianceWindowMismatch(screen, QStringLiteral("空调"));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestAircond::powerButtonSendsAndStores_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("wasOn");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("on, channel 2 device 1") << 2 << 1 << false << QByteArray::fromHex("AA0106010000FF");
    QTest::newRow("off, channel 2 device 1") << 2 << 1 << true << QByteArray::fromHex("AA0106020000FF");
    QTest::newRow("on, channel 0 device 3") << 0 << 3 << false << QByteArray::fromHex("AA0306010000FF");
    QTest::newRow("off, channel 3 device 0") << 3 << 0 << true << QByteArray::fromHex("AA0006020000FF");
}

void TestAircond::powerButtonSendsAndStores()
{
    QFETCH(int, tongdao);
    QFETCH(int, index);
    QFETCH(bool, wasOn);
    QFETCH(QByteArray, frame);
    SmallDevInfo record = smallDevInfos[tongdao][index];
    record.airOn = wasOn ? 1 : 0;
    showRecord(tongdao, index, record);

    QTest::mouseClick(widget<QPushButton>("btn_onoff"), Qt::LeftButton);

    QCOMPARE(buses.read(tongdao, frame.size()).toHex(' '), frame.toHex(' '));
    QCOMPARE(buses.anySent(), QByteArray());
    QCOMPARE(smallDevInfos[tongdao][index].airOn, static_cast<unsigned char>(wasOn ? 0 : 1));
    QCOMPARE(widget<QPushButton>("btn_onoff")->isChecked(), !wasOn);
    QCOMPARE(showsOn(), !wasOn);
}

void TestAircond::powerButtonWithoutControllerOnlyChangesLook_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("index");

    QTest::newRow("no dashboard controller") << -1 << -1;
    QTest::newRow("after the dashboard's return") << 2 << -1;
    QTest::newRow("no channel") << -1 << 1;
    QTest::newRow("index off the bus") << 0 << 4;
}

void TestAircond::powerButtonWithoutControllerOnlyChangesLook()
{
    QFETCH(int, tongdao);
    QFETCH(int, index);
    Devices::getInstance(index, tongdao, true);
    QPushButton *power = widget<QPushButton>("btn_onoff");
    const bool wasChecked = power->isChecked();
    const QByteArray tables = deviceTablesSnapshot();

    QTest::mouseClick(power, Qt::LeftButton);

    QCOMPARE(power->isChecked(), !wasChecked);
    QCOMPARE(showsOn(), !wasChecked);
    QCOMPARE(buses.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
}

void TestAircond::temperatureStepsFromWhatIsShown_data()
{
    QTest::addColumn<QList<int>>("shown");
    QTest::addColumn<QString>("presses");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("stored");

    QTest::newRow("24 shown, + gives 25") << QList<int>{24} << "+" << "25" << 25;
    QTest::newRow("24 shown, - gives 23") << QList<int>{24} << "-" << "23" << 23;
    QTest::newRow("from 18 down to the floor") << QList<int>{18} << "---" << "16" << 16;
    QTest::newRow("16 shown, - stays") << QList<int>{16} << "-" << "16" << 16;
    QTest::newRow("16 shown, + gives 17") << QList<int>{16} << "+" << "17" << 17;
    QTest::newRow("30 shown, + stays") << QList<int>{30} << "+" << "30" << 30;
    QTest::newRow("30 shown, - gives 29") << QList<int>{30} << "-" << "29" << 29;
    QTest::newRow("up to the ceiling") << QList<int>{28} << "+++" << "30" << 30;
    QTest::newRow("a step back from the ceiling") << QList<int>{29} << "++-" << "29" << 29;
    QTest::newRow("no value keeps the last one") << QList<int>{22, 0} << "+" << "23" << 23;
    QTest::newRow("above the range is shown, not taken") << QList<int>{20, 35} << "+" << "21" << 21;
    QTest::newRow("below the range is shown, not taken") << QList<int>{20, 15} << "-" << "19" << 19;
}

void TestAircond::temperatureStepsFromWhatIsShown()
{
    QFETCH(QList<int>, shown);
    QFETCH(QString, presses);
    QFETCH(QString, label);
    QFETCH(int, stored);
    SmallDevInfo record = smallDevInfos[1][2];
    for (const int degrees : shown) {
        record.airTemp = static_cast<unsigned char>(degrees);
        showRecord(1, 2, record);
    }
    if (shown.last() != 0)
        QCOMPARE(widget<QLabel>("label_temp")->text(), QString::number(shown.last()));

    press(presses);

    QCOMPARE(widget<QLabel>("label_temp")->text(), label);
    QCOMPARE(int(smallDevInfos[1][2].airTemp), stored);
    // The temperature lives in the record only: no command carries it.
    QCOMPARE(buses.anySent(), QByteArray());
}

void TestAircond::temperatureWithoutControllerStaysOnScreen()
{
    SmallDevInfo record = smallDevInfos[0][0];
    record.airTemp = 20;
    showRecord(0, 0, record);
    Devices::getInstance(-1, 0, true);
    const QByteArray tables = deviceTablesSnapshot();

    press(QStringLiteral("++"));

    QCOMPARE(widget<QLabel>("label_temp")->text(), QStringLiteral("22"));
    QCOMPARE(deviceTablesSnapshot(), tables);
    QCOMPARE(buses.anySent(), QByteArray());
}

void TestAircond::updateItemsLoadsRecord_data()
{
    QTest::addColumn<int>("airOn");
    QTest::addColumn<int>("airTemp");
    QTest::addColumn<int>("airSpeed");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("filled");

    // Each row starts from: off, 20 shown, speed 2.
    QTest::newRow("nothing reported") << 0 << 0 << 0 << false << "20" << 2 << false;
    QTest::newRow("on with values") << 1 << 25 << 50 << true << "25" << 50 << true;
    QTest::newRow("any non-zero is on") << 2 << 20 << 2 << true << "20" << 2 << false;
    QTest::newRow("temperature outside the range is shown") << 0 << 45 << 0 << false << "45" << 2 << false;
    QTest::newRow("speed 3 stays unfilled") << 0 << 0 << 3 << false << "20" << 3 << false;
    QTest::newRow("speed 4 is filled") << 0 << 0 << 4 << false << "20" << 4 << true;
    QTest::newRow("speed above the top shows the top") << 0 << 0 << 150 << false << "20" << 99 << true;
}

void TestAircond::updateItemsLoadsRecord()
{
    QFETCH(int, airOn);
    QFETCH(int, airTemp);
    QFETCH(int, airSpeed);
    SmallDevInfo record = smallDevInfos[3][3];
    record.airOn = 0;
    record.airTemp = 20;
    record.airSpeed = 2;
    showRecord(3, 3, record);

    record.airOn = static_cast<unsigned char>(airOn);
    record.airTemp = static_cast<unsigned char>(airTemp);
    record.airSpeed = static_cast<unsigned char>(airSpeed);
    showRecord(3, 3, record);

    QTEST(widget<QPushButton>("btn_onoff")->isChecked(), "on");
    QTEST(showsOn(), "on");
    QTEST(widget<QLabel>("label_temp")->text(), "label");
    QTEST(widget<QSlider>("hs_speed")->value(), "speed");
    QTEST(speedFilled(), "filled");
    QCOMPARE(buses.anySent(), QByteArray());
}

void TestAircond::updateItemsWithoutControllerChangesNothing()
{
    SmallDevInfo record = smallDevInfos[1][1];
    record.airOn = 0;
    record.airTemp = 20;
    record.airSpeed = 2;
    showRecord(1, 1, record);
    for (auto &channel : smallDevInfos) {
        for (SmallDevInfo &each : channel) {
            each.airOn = 1;
            each.airTemp = 27;
            each.airSpeed = 60;
        }
    }
    Devices::getInstance(-1, 1, true);

    screen->updateItems();

    QVERIFY(!widget<QPushButton>("btn_onoff")->isChecked());
    QVERIFY(!showsOn());
    QCOMPARE(widget<QLabel>("label_temp")->text(), QStringLiteral("20"));
    QCOMPARE(widget<QSlider>("hs_speed")->value(), 2);
}

// initItems runs once, when the screen is built; here it is run again with a controller shown.
void TestAircond::initItemsLoadsLookNotCheckedState()
{
    SmallDevInfo record = smallDevInfos[2][0];
    record.airOn = 0;
    record.airTemp = 20;
    record.airSpeed = 1;
    showRecord(2, 0, record);
    record.airOn = 1;
    record.airTemp = 26;
    record.airSpeed = 40;
    smallDevInfos[2][0] = record;

    screen->initItems();

    QVERIFY(showsOn());
    QVERIFY(!widget<QPushButton>("btn_onoff")->isChecked());
    QCOMPARE(widget<QLabel>("label_temp")->text(), QStringLiteral("26"));
    QCOMPARE(widget<QSlider>("hs_speed")->value(), 40);
    QVERIFY(speedFilled());
    press(QStringLiteral("+"));
    QCOMPARE(widget<QLabel>("label_temp")->text(), QStringLiteral("27"));
}

void TestAircond::speedSliderFillsFromFour_data()
{
    QTest::addColumn<QList<int>>("moves");
    QTest::addColumn<bool>("filled");

    QTest::newRow("3 to 4 fills") << QList<int>{3, 4} << true;
    QTest::newRow("4 to 3 empties") << QList<int>{4, 3} << false;
    QTest::newRow("within 4 to 99") << QList<int>{4, 99, 5} << true;
    QTest::newRow("within 0 to 3") << QList<int>{3, 1, 2} << false;
    QTest::newRow("straight to the top") << QList<int>{99} << true;
    QTest::newRow("from the top to 0") << QList<int>{99, 0} << false;
}

void TestAircond::speedSliderFillsFromFour()
{
    QFETCH(QList<int>, moves);
    QFETCH(bool, filled);
    QSlider *speed = widget<QSlider>("hs_speed");
    speed->setValue(0);
    QVERIFY(!speedFilled());

    for (const int value : moves) {
        speed->setValue(value);
        emit speed->sliderReleased();
    }

    QCOMPARE(speedFilled(), filled);
}

void TestAircond::speedAndModeButtonsSendAndStoreNothing()
{
    showRecord(0, 2, smallDevInfos[0][2]);
    const QByteArray tables = deviceTablesSnapshot();
    const QString label = widget<QLabel>("label_temp")->text();

    QSlider *speed = widget<QSlider>("hs_speed");
    speed->setValue(speed->value() == 70 ? 30 : 70);
    emit speed->sliderReleased();
    for (const char *mode : {"btn_ac1", "btn_ac2", "btn_ac3", "btn_ac4"})
        QTest::mouseClick(widget<QPushButton>(mode), Qt::LeftButton);

    QCOMPARE(buses.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
    QCOMPARE(widget<QLabel>("label_temp")->text(), label);
}

void TestAircond::backButtonHides()
{
    QTest::mouseClick(widget<QPushButton>("pushButton"), Qt::LeftButton);
    QVERIFY(screen->isHidden());
    QCOMPARE(Aircond::getInstance(), screen);
    QCOMPARE(MessageLog::count(QStringLiteral("new Aircond")), 0);
    screen->show();
}

QTEST_MAIN(TestAircond)
#include "tst_aircond.moc"
