#include "bus/devicetables.h"
#include "screens/appliances/aircond.h"

#include "appliancefixture.h"

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

    void temperatureStepsFromWhatIsShown_data();
    void temperatureStepsFromWhatIsShown();
    void temperatureWithoutControllerStaysOnScreen();
    void updateItemsLoadsRecord_data();
    void updateItemsLoadsRecord();
    void initItemsLoadsLookNotCheckedState();
    void speedSliderFillsFromFour_data();
    void speedSliderFillsFromFour();
    void speedAndModeButtonsSendAndStoreNothing();

private:
    template <typename T>
    T *widget(const char *name) const
    {
        return screen->findChild<T *>(QLatin1String(name));
    }
    void press(const QString &keys);
    bool showsOn() const;
    bool speedFilled() const;

    ApplianceFixture fixture;
    Aircond *screen = nullptr;
};

void TestAircond::initTestCase()
{
    QVERIFY(fixture.start(screen));
}

void TestAircond::init()
{
    fixture.reset();
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

void TestAircond::temperatureStepsFromWhatIsShown_data()
{
    QTest::addColumn<QList<int>>("shown");
    QTest::addColumn<QString>("presses");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("stored");

    QTest::newRow("24 shown, + gives 25") << QList<int>{24} << "+"
                                          << "25" << 25;
    QTest::newRow("24 shown, - gives 23") << QList<int>{24} << "-"
                                          << "23" << 23;
    QTest::newRow("from 18 down to the floor") << QList<int>{18} << "---"
                                               << "16" << 16;
    QTest::newRow("16 shown, - stays") << QList<int>{16} << "-"
                                       << "16" << 16;
    QTest::newRow("16 shown, + gives 17") << QList<int>{16} << "+"
                                          << "17" << 17;
    QTest::newRow("30 shown, + stays") << QList<int>{30} << "+"
                                       << "30" << 30;
    QTest::newRow("30 shown, - gives 29") << QList<int>{30} << "-"
                                          << "29" << 29;
    QTest::newRow("up to the ceiling") << QList<int>{28} << "+++"
                                       << "30" << 30;
    QTest::newRow("a step back from the ceiling") << QList<int>{29} << "++-"
                                                  << "29" << 29;
    QTest::newRow("no value keeps the last one") << QList<int>{22, 0} << "+"
                                                 << "23" << 23;
    QTest::newRow("above the range is shown, not taken") << QList<int>{20, 35} << "+"
                                                         << "21" << 21;
    QTest::newRow("below the range is shown, not taken") << QList<int>{20, 15} << "-"
                                                         << "19" << 19;
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
        ApplianceFixture::showRecord(screen, 1, 2, record);
    }
    if (shown.last() != 0)
        QCOMPARE(widget<QLabel>("label_temp")->text(), QString::number(shown.last()));

    press(presses);

    QCOMPARE(widget<QLabel>("label_temp")->text(), label);
    QCOMPARE(int(smallDevInfos[1][2].airTemp), stored);
    // The temperature lives in the record only: no command carries it.
    QCOMPARE(fixture.anySent(), QByteArray());
}

void TestAircond::temperatureWithoutControllerStaysOnScreen()
{
    SmallDevInfo record = smallDevInfos[0][0];
    record.airTemp = 20;
    ApplianceFixture::showRecord(screen, 0, 0, record);
    ApplianceFixture::select(-1, 0);
    const QByteArray tables = deviceTablesSnapshot();

    press(QStringLiteral("++"));

    QCOMPARE(widget<QLabel>("label_temp")->text(), QStringLiteral("22"));
    QCOMPARE(deviceTablesSnapshot(), tables);
    QCOMPARE(fixture.anySent(), QByteArray());
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
    ApplianceFixture::showRecord(screen, 3, 3, record);

    record.airOn = static_cast<unsigned char>(airOn);
    record.airTemp = static_cast<unsigned char>(airTemp);
    record.airSpeed = static_cast<unsigned char>(airSpeed);
    ApplianceFixture::showRecord(screen, 3, 3, record);

    QTEST(widget<QPushButton>("btn_onoff")->isChecked(), "on");
    QTEST(showsOn(), "on");
    QTEST(widget<QLabel>("label_temp")->text(), "label");
    QTEST(widget<QSlider>("hs_speed")->value(), "speed");
    QTEST(speedFilled(), "filled");
    QCOMPARE(fixture.anySent(), QByteArray());
}

// initItems runs once, when the screen is built; here it is run again with a controller shown.
void TestAircond::initItemsLoadsLookNotCheckedState()
{
    SmallDevInfo record = smallDevInfos[2][0];
    record.airOn = 0;
    record.airTemp = 20;
    record.airSpeed = 1;
    ApplianceFixture::showRecord(screen, 2, 0, record);
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
    ApplianceFixture::showRecord(screen, 0, 2, smallDevInfos[0][2]);
    const QByteArray tables = deviceTablesSnapshot();
    const QString label = widget<QLabel>("label_temp")->text();

    QSlider *speed = widget<QSlider>("hs_speed");
    speed->setValue(speed->value() == 70 ? 30 : 70);
    emit speed->sliderReleased();
    for (const char *mode : {"btn_ac1", "btn_ac2", "btn_ac3", "btn_ac4"})
        QTest::mouseClick(widget<QPushButton>(mode), Qt::LeftButton);

    QCOMPARE(fixture.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
    QCOMPARE(widget<QLabel>("label_temp")->text(), label);
}

QTEST_MAIN(TestAircond)
#include "tst_aircond.moc"
