#include "screens/appliances/tv.h"
#include "bus/devicetables.h"
#include "screens/devices.h"

#include "busterminals.h"
#include "messagelog.h"
#include "paneltest.h"

#include <QPushButton>
#include <QSlider>
#include <QtTest>

// The television screen against the frames on the wire and the state tables.
class TestTv : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void isOneCentredWindow();
    void switchSendsAndStores_data();
    void switchSendsAndStores();
    void switchWithoutControllerOnlyChangesLook_data();
    void switchWithoutControllerOnlyChangesLook();
    void updateItemsLoadsSwitchAndSliders_data();
    void updateItemsLoadsSwitchAndSliders();
    void updateItemsWithoutControllerChangesNothing();
    void initItemsStartsSwitchOnFromRecord();
    void slidersFillFromTwelve_data();
    void slidersFillFromTwelve();
    void slidersAndRemoteKeysSendAndStoreNothing();
    void backButtonHides();

private:
    template <typename T>
    T *widget(const QString &name) const { return screen->findChild<T *>(name); }
    QPushButton *onoff() const { return widget<QPushButton>(QStringLiteral("btn_onoff")); }
    void showRecord(int tongdao, int index, const SmallDevInfo &record);
    bool showsOn() const;
    static bool filled(const QSlider *slider);

    BusTerminals buses;
    Tv *screen = nullptr;
};

void TestTv::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    QVERIFY(buses.openMainWindow());
    QVERIFY(!Tv::ifInstance());
    screen = Tv::getInstance();
    QCOMPARE(Tv::getInstance(), screen);
    QCOMPARE(MessageLog::count(QStringLiteral("new Tv")), 1);
    screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(screen));
}

void TestTv::init()
{
    resetDeviceTables();
    Devices::getInstance(-1, -1, true);
    buses.discardPending();
    MessageLog::clear();
}

void TestTv::showRecord(int tongdao, int index, const SmallDevInfo &record)
{
    Devices::getInstance(index, tongdao, true);
    smallDevInfos[tongdao][index] = record;
    screen->updateItems();
}

bool TestTv::showsOn() const
{
    return onoff()->styleSheet().contains(QLatin1String("url(:/swon.png)"));
}

bool TestTv::filled(const QSlider *slider)
{
    return slider->styleSheet().contains(QLatin1String("QSlider::add-page:vertical"));
}

void TestTv::isOneCentredWindow()
{
    QVERIFY(Tv::ifInstance());
    const QString mismatch = PanelTest::applianceWindowMismatch(screen, QStringLiteral("电视"));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestTv::switchSendsAndStores_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("wasOn");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("on, channel 1 device 2") << 1 << 2 << false << QByteArray::fromHex("AA0205010000FF");
    QTest::newRow("off, channel 1 device 2") << 1 << 2 << true << QByteArray::fromHex("AA0205020000FF");
    QTest::newRow("on, channel 3 device 3") << 3 << 3 << false << QByteArray::fromHex("AA0305010000FF");
    QTest::newRow("off, channel 0 device 0") << 0 << 0 << true << QByteArray::fromHex("AA0005020000FF");
}

void TestTv::switchSendsAndStores()
{
    QFETCH(int, tongdao);
    QFETCH(int, index);
    QFETCH(bool, wasOn);
    QFETCH(QByteArray, frame);
    SmallDevInfo record = smallDevInfos[tongdao][index];
    record.tvOn = wasOn ? 1 : 0;
    showRecord(tongdao, index, record);
    MessageLog::clear();

    QTest::mouseClick(onoff(), Qt::LeftButton);

    QCOMPARE(buses.read(tongdao, frame.size()).toHex(' '), frame.toHex(' '));
    QCOMPARE(buses.anySent(), QByteArray());
    QCOMPARE(smallDevInfos[tongdao][index].tvOn, static_cast<unsigned char>(wasOn ? 0 : 1));
    QCOMPARE(onoff()->isChecked(), !wasOn);
    QCOMPARE(showsOn(), !wasOn);
    QCOMPARE(MessageLog::count(QStringLiteral("on_btn_onoff_clicked %1").arg(wasOn ? 0 : 1)), 1);
}

void TestTv::switchWithoutControllerOnlyChangesLook_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("index");

    QTest::newRow("no dashboard controller") << -1 << -1;
    QTest::newRow("after the dashboard's return") << 3 << -1;
    QTest::newRow("channel off the buses") << 4 << 0;
}

void TestTv::switchWithoutControllerOnlyChangesLook()
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

void TestTv::updateItemsLoadsSwitchAndSliders_data()
{
    QTest::addColumn<int>("tvOn");
    QTest::addColumn<int>("tvVol");
    QTest::addColumn<int>("tvBright");
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("volume");
    QTest::addColumn<int>("brightness");
    QTest::addColumn<bool>("volFilled");
    QTest::addColumn<bool>("brightFilled");

    // Each row starts from: off, both sliders at 0.
    QTest::newRow("all off") << 0 << 0 << 0 << false << 0 << 0 << false << false;
    QTest::newRow("on with levels") << 1 << 60 << 30 << true << 60 << 30 << true << true;
    QTest::newRow("any non-zero is on") << 2 << 0 << 0 << true << 0 << 0 << false << false;
    QTest::newRow("levels 11 stay unfilled") << 0 << 11 << 11 << false << 11 << 11 << false << false;
    QTest::newRow("levels 12 are filled") << 0 << 12 << 12 << false << 12 << 12 << true << true;
    QTest::newRow("levels beyond the tops show the tops") << 0 << 150 << 150 << false << 100 << 99 << true << true;
}

void TestTv::updateItemsLoadsSwitchAndSliders()
{
    QFETCH(int, tvOn);
    QFETCH(int, tvVol);
    QFETCH(int, tvBright);
    showRecord(2, 3, SmallDevInfo {});
    SmallDevInfo record {};
    record.tvOn = static_cast<unsigned char>(tvOn);
    record.tvVol = static_cast<unsigned char>(tvVol);
    record.tvBright = static_cast<unsigned char>(tvBright);
    smallDevInfos[2][3] = record;
    const QByteArray tables = deviceTablesSnapshot();
    MessageLog::clear();

    screen->updateItems();

    QCOMPARE(MessageLog::lines(), QStringList{QStringLiteral("Tv::updateItems %1, 0").arg(tvOn)});
    QTEST(onoff()->isChecked(), "on");
    QTEST(showsOn(), "on");
    QTEST(widget<QSlider>(QStringLiteral("vs_vol"))->value(), "volume");
    QTEST(widget<QSlider>(QStringLiteral("vs_bright"))->value(), "brightness");
    QTEST(filled(widget<QSlider>(QStringLiteral("vs_vol"))), "volFilled");
    QTEST(filled(widget<QSlider>(QStringLiteral("vs_bright"))), "brightFilled");
    // The sliders only show the levels.
    QCOMPARE(buses.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
}

void TestTv::updateItemsWithoutControllerChangesNothing()
{
    showRecord(0, 1, SmallDevInfo {});
    for (auto &channel : smallDevInfos) {
        for (SmallDevInfo &record : channel) {
            record.tvOn = 1;
            record.tvVol = 50;
            record.tvBright = 50;
        }
    }
    Devices::getInstance(-1, 0, true);
    MessageLog::clear();

    screen->updateItems();

    QVERIFY(!onoff()->isChecked());
    QVERIFY(!showsOn());
    QCOMPARE(widget<QSlider>(QStringLiteral("vs_vol"))->value(), 0);
    QCOMPARE(widget<QSlider>(QStringLiteral("vs_bright"))->value(), 0);
    QCOMPARE(MessageLog::lines(), QStringList());
}

// initItems runs once, when the screen is built; here it is run again with a controller shown.
void TestTv::initItemsStartsSwitchOnFromRecord()
{
    showRecord(1, 0, SmallDevInfo {});
    smallDevInfos[1][0].tvOn = 2;

    screen->initItems();

    QVERIFY(onoff()->isChecked());
    QVERIFY(showsOn());
    QCOMPARE(buses.anySent(), QByteArray());
}

void TestTv::slidersFillFromTwelve_data()
{
    QTest::addColumn<QString>("slider");
    QTest::addColumn<QList<int>>("moves");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("isFilled");

    for (const QString &slider : {QStringLiteral("vs_vol"), QStringLiteral("vs_bright")}) {
        const QByteArray name = slider.toLatin1();
        QTest::addRow("%s 11 to 12 fills", name.constData()) << slider << QList<int>{11, 12} << 12 << true;
        QTest::addRow("%s 12 to 11 empties", name.constData()) << slider << QList<int>{12, 11} << 11 << false;
        QTest::addRow("%s within 12 and up", name.constData()) << slider << QList<int>{12, 90, 13} << 13 << true;
        QTest::addRow("%s within 0 to 11", name.constData()) << slider << QList<int>{11, 5, 1} << 1 << false;
    }
    QTest::newRow("vs_vol tops at 100") << QStringLiteral("vs_vol") << QList<int>{100} << 100 << true;
    QTest::newRow("vs_bright tops at 99") << QStringLiteral("vs_bright") << QList<int>{100} << 99 << true;
}

void TestTv::slidersFillFromTwelve()
{
    QFETCH(QString, slider);
    QFETCH(QList<int>, moves);
    QSlider *level = widget<QSlider>(slider);
    level->setValue(0);
    QVERIFY(!filled(level));

    for (const int value : moves) {
        level->setValue(value);
        emit level->sliderReleased();
    }

    QTEST(level->value(), "value");
    QTEST(filled(level), "isFilled");
}

void TestTv::slidersAndRemoteKeysSendAndStoreNothing()
{
    showRecord(3, 1, SmallDevInfo {});
    const QByteArray tables = deviceTablesSnapshot();

    for (const QString &name : {QStringLiteral("vs_vol"), QStringLiteral("vs_bright")}) {
        QSlider *level = widget<QSlider>(name);
        level->setValue(70);
        emit level->sliderReleased();
    }
    for (const char *key : {"btn_ok", "btn_up", "btn_down", "btn_left", "btn_right", "btn_home", "btn_return"})
        QTest::mouseClick(widget<QPushButton>(QLatin1String(key)), Qt::LeftButton);

    QCOMPARE(buses.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
    QVERIFY(screen->isVisible());
}

void TestTv::backButtonHides()
{
    QTest::mouseClick(widget<QPushButton>(QStringLiteral("btn_return1")), Qt::LeftButton);
    QVERIFY(screen->isHidden());
    QCOMPARE(Tv::getInstance(), screen);
    screen->show();
}

QTEST_MAIN(TestTv)
#include "tst_tv.moc"
