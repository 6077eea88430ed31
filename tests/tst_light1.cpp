#include "bus/devicetables.h"
#include "screens/appliances/light1.h"

#include "appliancefixture.h"
#include "messagelog.h"

#include <QPushButton>
#include <QSlider>
#include <QtTest>

// The lighting screen against four pseudo-terminal buses: what each control sends, what it stores,
// and how the dimmers look.
class TestLight1 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void startsWithEveryCircuitOffAndPlain();
    void loadAtTheFormsOwnValueShowsTheFill();
    void switchingOffDropsBorderKeepsFill();
    void releaseSendsChangedBrightness_data();
    void releaseSendsChangedBrightness();
    void repeatedReleaseSendsOnce();
    void dimmersSendNothingWithoutController_data();
    void dimmersSendNothingWithoutController();
    void kitchenAndBedroomNeverSend();
    void updateItemsLoadsRecord_data();
    void updateItemsLoadsRecord();
    void dimmerFillFollowsThreshold_data();
    void dimmerFillFollowsThreshold();

private:
    QSlider *dimmer(const QString &circuit) const;
    QPushButton *switchOf(const QString &circuit) const;
    void release(QSlider *slider, int value);

    ApplianceFixture fixture;
    Light1 *screen = nullptr;
};

namespace {
const QString onoffQss1 = QStringLiteral(
    "background-color: rgba(0, 0, 0, 1);border-image: url(:/swon.png);outline: none;");
const QString onoffQss0 = QStringLiteral(
    "background-color: rgba(0, 0, 0, 1);border-image: url(:/swoff.png);outline: none;");
const QString mainQss0 = QStringLiteral(
    "QSlider {height: 40px;}QSlider::groove:horizontal {background: rgb(67,77,85);height: 40px;border: 2px solid #FF8800;border-radius: 20px;}QSlider::handle:horizontal {border-image: url(:/light_icon.png);width: 40px;height: 40px;margin-left: 0px;margin-right: -0px;}");
const QString mainQss0_0 = QStringLiteral(
    "QSlider {height: 40px;}QSlider::groove:horizontal {background: rgb(67,77,85);height: 40px;border-radius: 20px;}QSlider::handle:horizontal {border-image: url(:/light_icon.png);width: 40px;height: 40px;margin-left: 0px;margin-right: -0px;}");
const QString mainQss1 = QStringLiteral(
    "QSlider::sub-page:horizontal {background: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, stop:0 rgba(67,77,85, 255), stop:1 #FF8800);height: 40px;border-radius: 20px;}");

struct CircuitColours
{
    const char *name;
    const char *border;
    const char *fillEnd;
};
const CircuitColours colours[] = {
    {"main", "#FF8800", "#FF8800"},
    {"lightbelt", "#9999FF", "#9999FF"},
    {"spot", "rgb(29, 167, 223)", "rgba(97,179,248, 255)"},
    {"kitchen", "rgb(238, 238, 236)", "rgb(238, 238, 236)"},
    {"bedroom", "rgb(145, 212, 149)", "rgb(145, 212, 149)"},
};

// A circuit's sheets are the main circuit's with its own colours.
QString expectedLook(const QString &circuit, bool bordered, bool filled)
{
    for (const CircuitColours &c : colours) {
        if (circuit == QLatin1String(c.name)) {
            QString look = bordered ? QString(mainQss0).replace(QStringLiteral("#FF8800"), QLatin1String(c.border))
                                    : mainQss0_0;
            if (filled)
                look += QString(mainQss1).replace(QStringLiteral("#FF8800"), QLatin1String(c.fillEnd));
            return look;
        }
    }
    return QString();
}

QByteArray frame(int index, int code, int switchByte, int value)
{
    const char bytes[] = {char(0xAA), char(index), char(code), char(switchByte), char(value), 0, char(0xFF)};
    return QByteArray(bytes, sizeof bytes);
}

const QStringList wiredCircuits = {QStringLiteral("main"), QStringLiteral("lightbelt"), QStringLiteral("spot")};
} // namespace

void TestLight1::initTestCase()
{
    QVERIFY(fixture.start(screen));
}

void TestLight1::init()
{
    fixture.reset();
}

QSlider *TestLight1::dimmer(const QString &circuit) const
{
    return screen->findChild<QSlider *>(QStringLiteral("hs_") + circuit);
}

QPushButton *TestLight1::switchOf(const QString &circuit) const
{
    return screen->findChild<QPushButton *>(QStringLiteral("btn_sw_") + circuit);
}

// A finger on the handle: the value moves while it is down and counts when it lifts.
void TestLight1::release(QSlider *slider, int value)
{
    slider->setSliderDown(true);
    slider->setValue(value);
    slider->setSliderDown(false);
}

void TestLight1::startsWithEveryCircuitOffAndPlain()
{
    for (const CircuitColours &c : colours) {
        const QString circuit = QLatin1String(c.name);
        QCOMPARE(dimmer(circuit)->value(), 50);
        QVERIFY(!dimmer(circuit)->isEnabled());
        QCOMPARE(dimmer(circuit)->styleSheet(), expectedLook(circuit, false, false));
        QVERIFY(!switchOf(circuit)->isChecked());
        // Without a controller no switch took a static sheet yet.
        QVERIFY(switchOf(circuit)->styleSheet().startsWith(QLatin1String("QPushButton{")));
    }
}

// Runs while the dimmers still hold the form's 50: a record of 50 moves no slider, and the look
// must follow all the same.
void TestLight1::loadAtTheFormsOwnValueShowsTheFill()
{
    QCOMPARE(dimmer("main")->value(), 50);
    ApplianceFixture::select(0, 0);
    smallDevInfos[0][0].mainOn = 1;
    smallDevInfos[0][0].mainBright = 50;

    screen->updateItems();

    QCOMPARE(dimmer("main")->styleSheet(), expectedLook("main", true, true));
}

void TestLight1::switchingOffDropsBorderKeepsFill()
{
    ApplianceFixture::select(0, 0);
    smallDevInfos[0][0].mainOn = 1;
    smallDevInfos[0][0].mainBright = 80;
    screen->updateItems();
    QCOMPARE(dimmer("main")->styleSheet(), mainQss0 + mainQss1);

    QTest::mouseClick(switchOf("main"), Qt::LeftButton);
    QCOMPARE(dimmer("main")->styleSheet(), mainQss0_0 + mainQss1);
    QVERIFY(!dimmer("main")->isEnabled());
    QCOMPARE(fixture.read(0, 7).toHex(' '), frame(0, 10, 2, 0).toHex(' '));
    QCOMPARE(int(smallDevInfos[0][0].mainOn), 0);

    QTest::mouseClick(switchOf("main"), Qt::LeftButton);
    QCOMPARE(dimmer("main")->styleSheet(), mainQss0 + mainQss1);
    QVERIFY(dimmer("main")->isEnabled());
}

void TestLight1::releaseSendsChangedBrightness_data()
{
    QTest::addColumn<QString>("circuit");
    QTest::addColumn<int>("lastSent");
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("released");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("main at 75") << "main" << 0 << 0 << 75 << QByteArray::fromHex("AA020A004B00FF");
    QTest::newRow("light belt at 30") << "lightbelt" << 0 << 0 << 30 << frame(2, 8, 0, 30);
    QTest::newRow("spot at 100") << "spot" << 40 << 40 << 100 << frame(2, 9, 0, 100);
    QTest::newRow("0 before anything was sent") << "main" << 0 << 0 << 0 << QByteArray();
    QTest::newRow("same as sent and reported") << "spot" << 40 << 40 << 40 << QByteArray();
    QTest::newRow("reported 60, dragged to 0") << "main" << 0 << 60 << 0 << frame(2, 10, 0, 0);
    QTest::newRow("controller moved since the last send") << "lightbelt" << 60 << 30 << 60 << frame(2, 8, 0, 60);
    QTest::newRow("reported above the range") << "spot" << 100 << 150 << 100 << frame(2, 9, 0, 100);
}

void TestLight1::releaseSendsChangedBrightness()
{
    QFETCH(QString, circuit);
    QFETCH(int, lastSent);
    QFETCH(int, reported);
    QFETCH(int, released);
    QFETCH(QByteArray, wire);

    const int circuitNo = wiredCircuits.indexOf(circuit);
    const int code = circuitNo == 0 ? 10 : circuitNo + 7;
    unsigned char SmallDevInfo::*const brightness[] = {&SmallDevInfo::mainBright, &SmallDevInfo::lightbeltBright,
                                                       &SmallDevInfo::spotBright};
    unsigned char SmallDevInfo::*const onOff[] = {&SmallDevInfo::mainOn, &SmallDevInfo::lightbeltOn,
                                                  &SmallDevInfo::spotOn};
    ApplianceFixture::select(2, 1);
    SmallDevInfo &record = smallDevInfos[1][2];
    record.*onOff[circuitNo] = 1;
    record.*brightness[circuitNo] = static_cast<unsigned char>(reported);
    int &sent = lightBright[1][2][code - 8];
    sent = lastSent;
    screen->updateItems();
    MessageLog::clear();

    release(dimmer(circuit), released);

    if (wire.isEmpty()) {
        QCOMPARE(fixture.anySent(), QByteArray());
        QCOMPARE(sent, lastSent);
        QCOMPARE(MessageLog::matching(QStringLiteral("on_hs_")), QStringList());
    } else {
        QCOMPARE(fixture.read(1, wire.size()).toHex(' '), wire.toHex(' '));
        QCOMPARE(fixture.anySent(), QByteArray());
        QCOMPARE(sent, released);
        QCOMPARE(MessageLog::matching(QStringLiteral("on_hs_")),
                 QStringList{QStringLiteral("on_hs_%1_sliderReleased: %2").arg(circuit).arg(released)});
    }
    QCOMPARE(int(record.*brightness[circuitNo]), released);
}

void TestLight1::repeatedReleaseSendsOnce()
{
    ApplianceFixture::select(0, 2);
    smallDevInfos[2][0].mainOn = 1;
    smallDevInfos[2][0].mainBright = 60;
    screen->updateItems();

    release(dimmer("main"), 0);
    release(dimmer("main"), 0);

    QCOMPARE(fixture.buses.channel(2).readFor(50).toHex(' '), frame(0, 10, 0, 0).toHex(' '));
    QCOMPARE(int(smallDevInfos[2][0].mainBright), 0);
    QCOMPARE(lightBright[2][0][2], 0);
}

void TestLight1::dimmersSendNothingWithoutController_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("tongdao");
    QTest::newRow("after the dashboard's return") << -1 << 1;
    QTest::newRow("no channel") << 0 << -1;
    QTest::newRow("index beyond the bus") << 4 << 0;
    QTest::newRow("channel beyond the buses") << 0 << 4;
}

void TestLight1::dimmersSendNothingWithoutController()
{
    QFETCH(int, index);
    QFETCH(int, tongdao);
    ApplianceFixture::select(index, tongdao);
    const QByteArray tables = deviceTablesSnapshot();

    for (const QString &circuit : wiredCircuits) {
        const bool wasOn = switchOf(circuit)->isChecked();
        QTest::mouseClick(switchOf(circuit), Qt::LeftButton);
        QCOMPARE(dimmer(circuit)->isEnabled(), !wasOn);
        release(dimmer(circuit), 77);
    }

    QCOMPARE(fixture.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
    QCOMPARE(MessageLog::matching(QStringLiteral("on_")), QStringList());
}

void TestLight1::kitchenAndBedroomNeverSend()
{
    ApplianceFixture::select(0, 0);
    const QByteArray tables = deviceTablesSnapshot();

    for (const QString &circuit : {QStringLiteral("kitchen"), QStringLiteral("bedroom")}) {
        QTest::mouseClick(switchOf(circuit), Qt::LeftButton);
        const bool on = switchOf(circuit)->isChecked();
        QCOMPARE(switchOf(circuit)->styleSheet(), on ? onoffQss1 : onoffQss0);
        QCOMPARE(dimmer(circuit)->isEnabled(), on);
        release(dimmer(circuit), 90);
        QTest::mouseClick(switchOf(circuit), Qt::LeftButton);
    }

    QCOMPARE(fixture.anySent(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
    QCOMPARE(MessageLog::matching(QStringLiteral("on_")), QStringList());
    QCOMPARE(MessageLog::matching(QStringLiteral("~~~")), QStringList());
}

void TestLight1::updateItemsLoadsRecord_data()
{
    QTest::addColumn<int>("onOff");
    QTest::addColumn<int>("brightness");
    QTest::addColumn<int>("shown");

    QTest::newRow("off at 0") << 0 << 0 << 0;
    QTest::newRow("on at 60") << 1 << 60 << 60;
    QTest::newRow("2 counts as on, below the fill") << 2 << 3 << 3;
    QTest::newRow("off at the fill threshold") << 0 << 4 << 4;
    QTest::newRow("above the range shows 100") << 1 << 150 << 100;
}

void TestLight1::updateItemsLoadsRecord()
{
    QFETCH(int, onOff);
    QFETCH(int, brightness);
    QFETCH(int, shown);
    ApplianceFixture::select(3, 3);
    const int kitchenValue = dimmer("kitchen")->value();
    const bool kitchenOn = switchOf("kitchen")->isChecked();
    SmallDevInfo &record = smallDevInfos[3][3];
    record.mainOn = record.lightbeltOn = record.spotOn = static_cast<unsigned char>(onOff);
    record.mainBright = record.lightbeltBright = record.spotBright = static_cast<unsigned char>(brightness);

    screen->updateItems();

    for (const QString &circuit : wiredCircuits) {
        QCOMPARE(switchOf(circuit)->isChecked(), onOff != 0);
        QCOMPARE(switchOf(circuit)->styleSheet(), onOff ? onoffQss1 : onoffQss0);
        QCOMPARE(dimmer(circuit)->value(), shown);
        QCOMPARE(dimmer(circuit)->isEnabled(), onOff != 0);
        QCOMPARE(dimmer(circuit)->styleSheet(), expectedLook(circuit, onOff != 0, shown >= 4));
    }
    QCOMPARE(dimmer("kitchen")->value(), kitchenValue);
    QCOMPARE(switchOf("kitchen")->isChecked(), kitchenOn);
    QCOMPARE(fixture.anySent(), QByteArray());
}

void TestLight1::dimmerFillFollowsThreshold_data()
{
    QTest::addColumn<QString>("circuit");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");

    QTest::newRow("3 to 4 gains the fill") << "main" << 3 << 4;
    QTest::newRow("4 to 3 loses it") << "spot" << 4 << 3;
    QTest::newRow("within the filled range") << "lightbelt" << 4 << 100;
    QTest::newRow("within the plain range") << "bedroom" << 0 << 3;
    QTest::newRow("100 to 0") << "kitchen" << 100 << 0;
}

void TestLight1::dimmerFillFollowsThreshold()
{
    QFETCH(QString, circuit);
    QFETCH(int, from);
    QFETCH(int, to);
    if (!switchOf(circuit)->isChecked())
        QTest::mouseClick(switchOf(circuit), Qt::LeftButton);
    dimmer(circuit)->setValue(from);
    QCOMPARE(dimmer(circuit)->styleSheet(), expectedLook(circuit, true, from >= 4));

    dimmer(circuit)->setValue(to);
    QCOMPARE(dimmer(circuit)->styleSheet(), expectedLook(circuit, true, to >= 4));
}

QTEST_MAIN(TestLight1)
#include "tst_light1.moc"
