#include "bus/devicetables.h"
#include "screens/appliances/tv.h"

#include "appliancefixture.h"
#include "messagelog.h"

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

    void updateItemsLoadsSwitchAndSliders_data();
    void updateItemsLoadsSwitchAndSliders();
    void initItemsStartsSwitchOnFromRecord();
    void slidersFillFromTwelve_data();
    void slidersFillFromTwelve();
    void slidersAndRemoteKeysSendAndStoreNothing();

private:
    template <typename T>
    T *widget(const QString &name) const
    {
        return screen->findChild<T *>(name);
    }
    QPushButton *onoff() const { return widget<QPushButton>(QStringLiteral("btn_onoff")); }
    bool showsOn() const;
    static bool filled(const QSlider *slider);

    ApplianceFixture fixture;
    Tv *screen = nullptr;
};

void TestTv::initTestCase()
{
    QVERIFY(fixture.start(screen));
}

void TestTv::init()
{
    fixture.reset();
}

bool TestTv::showsOn() const
{
    return onoff()->styleSheet().contains(QLatin1String("url(:/swon.png)"));
}

bool TestTv::filled(const QSlider *slider)
{
    return slider->styleSheet().contains(QLatin1String("QSlider::add-page:vertical"));
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
    ApplianceFixture::showRecord(screen, 2, 3, SmallDevInfo{});
    SmallDevInfo record{};
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
    QCOMPARE(fixture.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
}

// initItems runs once, when the screen is built; here it is run again with a controller shown.
void TestTv::initItemsStartsSwitchOnFromRecord()
{
    ApplianceFixture::showRecord(screen, 1, 0, SmallDevInfo{});
    smallDevInfos[1][0].tvOn = 2;

    screen->initItems();

    QVERIFY(onoff()->isChecked());
    QVERIFY(showsOn());
    QCOMPARE(fixture.anySent(), QByteArray());
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
    ApplianceFixture::showRecord(screen, 3, 1, SmallDevInfo{});
    const QByteArray tables = deviceTablesSnapshot();

    for (const QString &name : {QStringLiteral("vs_vol"), QStringLiteral("vs_bright")}) {
        QSlider *level = widget<QSlider>(name);
        level->setValue(70);
        emit level->sliderReleased();
    }
    for (const char *key : {"btn_ok", "btn_up", "btn_down", "btn_left", "btn_right", "btn_home", "btn_return"})
        QTest::mouseClick(widget<QPushButton>(QLatin1String(key)), Qt::LeftButton);

    QCOMPARE(fixture.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
    QVERIFY(screen->isVisible());
}

QTEST_MAIN(TestTv)
#include "tst_tv.moc"
