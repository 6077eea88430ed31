#include "app/mainwindow.h"
#include "screens/appliances/curtain.h"
#include "bus/devicetables.h"
#include "screens/devices.h"

#include "messagelog.h"
#include "paneltest.h"
#include "busterminals.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <cstddef>

// The curtain screen against four pseudo-terminal buses.
class TestCurtain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void startsWithOpenCaptionAndNoSpeed();
    void openAndCloseSendAndStore_data();
    void openAndCloseSendAndStore();
    void everyPressSends();
    void nothingSentWithoutController_data();
    void nothingSentWithoutController();
    void pauseAndSpeedSendNothing();
    void captionShowsShownControllersCurtain_data();
    void captionShowsShownControllersCurtain();
    void hiddenSpeedSliderSendsAndRestylesNothing();

private:
    QPushButton *button(const char *name) const;
    QLabel *caption() const;
    QByteArray quietBuses();

    BusTerminals buses;
    Curtain *screen = nullptr;
    QStringList constructionLog;
};

namespace {
const QString openLook = QStringLiteral("color: rgb(115, 210, 22);");
const QString closeLook = QStringLiteral("color: rgb(200, 20, 20);");

void select(int index, int tongdao)
{
    Devices::getInstance(index, tongdao, true);
}
} // namespace

void TestCurtain::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    QVERIFY(buses.openMainWindow());

    MessageLog::clear();
    screen = Curtain::getInstance();
    constructionLog = MessageLog::lines();
    screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(screen));
}

void TestCurtain::init()
{
    resetDeviceTables();
    select(-1, -1);
    quietBuses();
    MessageLog::clear();
}

QPushButton *TestCurtain::button(const char *name) const
{
    return screen->findChild<QPushButton *>(QLatin1String(name));
}

QLabel *TestCurtain::caption() const
{
    return screen->findChild<QLabel *>(QStringLiteral("label_onoff"));
}

QByteArray TestCurtain::quietBuses()
{
    return buses.anySent();
}

void TestCurtain::startsWithOpenCaptionAndNoSpeed()
{
    QCOMPARE(constructionLog, QStringList{QStringLiteral("new Curtain")});
    QCOMPARE(Curtain::getInstance(), screen);
    QVERIFY(Curtain::ifInstance());
    const QString mismatch = PanelTest::applianceWindowMismatch(screen, QStringLiteral("窗帘"));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QCOMPARE(caption()->text(), QStringLiteral("开"));
    QCOMPARE(caption()->styleSheet(), openLook);
    auto *speed = screen->findChild<QSlider *>(QStringLiteral("hs_speed"));
    QVERIFY(!speed->isEnabled());
    QVERIFY(speed->isHidden());

    QTest::mouseClick(button("bnt_return"), Qt::LeftButton);
    QVERIFY(screen->isHidden());
    screen->show();
}

void TestCurtain::openAndCloseSendAndStore_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("open, channel 0 device 0") << 0 << 0 << true << QByteArray::fromHex("AA0004010000FF");
    QTest::newRow("close, channel 0 device 0") << 0 << 0 << false << QByteArray::fromHex("AA0004020000FF");
    QTest::newRow("open, channel 3 device 2") << 3 << 2 << true << QByteArray::fromHex("AA0204010000FF");
    QTest::newRow("close, channel 1 device 3") << 1 << 3 << false << QByteArray::fromHex("AA0304020000FF");
}

void TestCurtain::openAndCloseSendAndStore()
{
    QFETCH(int, tongdao);
    QFETCH(int, index);
    QFETCH(bool, open);
    QFETCH(QByteArray, wire);
    select(index, tongdao);
    smallDevInfos[tongdao][index].curtainOn = open ? 0 : 1;
    QByteArray expectedTables = deviceTablesSnapshot();
    expectedTables[int(sizeof(SmallDevInfo)) * (tongdao * DevicesPerChannel + index)
                   + int(offsetof(SmallDevInfo, curtainOn))] = char(open ? 1 : 0);

    QTest::mouseClick(button(open ? "btn_on" : "btn_off"), Qt::LeftButton);

    QCOMPARE(buses.channel(tongdao).read(wire.size()).toHex(' '), wire.toHex(' '));
    QCOMPARE(quietBuses(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), expectedTables);
    QCOMPARE(caption()->text(), open ? QStringLiteral("开") : QStringLiteral("关"));
    QCOMPARE(caption()->styleSheet(), open ? openLook : closeLook);
    QCOMPARE(MessageLog::matching(QStringLiteral("on_btn_")),
             QStringList{open ? QStringLiteral("on_btn_on_clicked ") : QStringLiteral("on_btn_off_clicked ")});
}

void TestCurtain::everyPressSends()
{
    select(0, 0);
    QTest::mouseClick(button("btn_on"), Qt::LeftButton);
    QTest::mouseClick(button("btn_on"), Qt::LeftButton);
    QCOMPARE(buses.channel(0).read(14).toHex(' '), QByteArray::fromHex("AA0004010000FFAA0004010000FF").toHex(' '));
    QCOMPARE(int(smallDevInfos[0][0].curtainOn), 1);

    QTest::mouseClick(button("btn_off"), Qt::LeftButton);
    QCOMPARE(buses.channel(0).read(7).toHex(' '), QByteArray::fromHex("AA0004020000FF").toHex(' '));
    QCOMPARE(int(smallDevInfos[0][0].curtainOn), 0);
    QCOMPARE(caption()->text(), QStringLiteral("关"));
}

void TestCurtain::nothingSentWithoutController_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("tongdao");
    QTest::newRow("after the dashboard's return") << -1 << 2;
    QTest::newRow("no channel") << 1 << -1;
    QTest::newRow("index beyond the bus") << 4 << 0;
    QTest::newRow("channel beyond the buses") << 0 << 4;
}

void TestCurtain::nothingSentWithoutController()
{
    QFETCH(int, index);
    QFETCH(int, tongdao);
    select(index, tongdao);
    const QByteArray tables = deviceTablesSnapshot();
    const QString text = caption()->text();
    const QString look = caption()->styleSheet();

    QTest::mouseClick(button("btn_on"), Qt::LeftButton);
    QTest::mouseClick(button("btn_off"), Qt::LeftButton);

    QCOMPARE(quietBuses(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
    QCOMPARE(caption()->text(), text);
    QCOMPARE(caption()->styleSheet(), look);
    const QStringList logged = {QStringLiteral("on_btn_on_clicked "), QStringLiteral("on_btn_off_clicked ")};
    QCOMPARE(MessageLog::matching(QStringLiteral("on_btn_")), logged);
    QCOMPARE(MessageLog::matching(QStringLiteral("~~~")), QStringList());
}

void TestCurtain::pauseAndSpeedSendNothing()
{
    select(0, 0);
    const QByteArray tables = deviceTablesSnapshot();
    auto *speed = screen->findChild<QSlider *>(QStringLiteral("hs_speed"));

    QTest::mouseClick(button("btn_pause"), Qt::LeftButton);
    speed->setSliderDown(true);
    speed->setValue(60);
    speed->setSliderDown(false);

    QCOMPARE(quietBuses(), QByteArray());
    QCOMPARE(deviceTablesSnapshot(), tables);
}

void TestCurtain::captionShowsShownControllersCurtain_data()
{
    QTest::addColumn<int>("curtainOn");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("look");
    QTest::newRow("closed") << 0 << QStringLiteral("关") << closeLook;
    QTest::newRow("open") << 1 << QStringLiteral("开") << openLook;
    QTest::newRow("2 counts as open") << 2 << QStringLiteral("开") << openLook;
}

// The caption follows the record of the controller shown, not the last press on another one.
void TestCurtain::captionShowsShownControllersCurtain()
{
    QFETCH(int, curtainOn);
    QFETCH(QString, text);
    QFETCH(QString, look);
    select(1, 0);
    QTest::mouseClick(button(curtainOn ? "btn_off" : "btn_on"), Qt::LeftButton);
    smallDevInfos[2][3].curtainOn = static_cast<unsigned char>(curtainOn);

    select(3, 2);
    screen->updateItems();
    QCOMPARE(caption()->text(), text);
    QCOMPARE(caption()->styleSheet(), look);

    select(-1, 2);
    screen->updateItems();
    QCOMPARE(caption()->text(), text);
    QCOMPARE(quietBuses().size(), 7);
}

// Only crossings between 3 and 4 swap the sheet.
// No speed reaches the controller and the slider is never shown: moving it changes nothing.
void TestCurtain::hiddenSpeedSliderSendsAndRestylesNothing()
{
    auto *speed = screen->findChild<QSlider *>(QStringLiteral("hs_speed"));
    QVERIFY(speed->isHidden());
    const QString formLook = speed->styleSheet();
    for (int value : {99, 0, 4, 150})
        speed->setValue(value);
    QCOMPARE(speed->styleSheet(), formLook);
    QCOMPARE(quietBuses(), QByteArray());
}

QTEST_MAIN(TestCurtain)
#include "tst_curtain.moc"
