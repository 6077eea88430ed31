#include "bus/devicetables.h"
#include "screens/appliances/curtain.h"

#include "appliancefixture.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

// The curtain screen against four pseudo-terminal buses.
class TestCurtain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void startsWithOpenCaptionAndNoSpeed();
    void everyPressSends();
    void pauseAndSpeedSendNothing();
    void captionShowsShownControllersCurtain_data();
    void captionShowsShownControllersCurtain();
    void hiddenSpeedSliderSendsAndRestylesNothing();

private:
    QPushButton *button(const char *name) const;
    QLabel *caption() const;

    ApplianceFixture fixture;
    Curtain *screen = nullptr;
};

namespace {
const QString openLook = QStringLiteral("color: rgb(115, 210, 22);");
const QString closeLook = QStringLiteral("color: rgb(200, 20, 20);");
} // namespace

void TestCurtain::initTestCase()
{
    QVERIFY(fixture.start(screen));
}

void TestCurtain::init()
{
    fixture.reset();
}

QPushButton *TestCurtain::button(const char *name) const
{
    return screen->findChild<QPushButton *>(QLatin1String(name));
}

QLabel *TestCurtain::caption() const
{
    return screen->findChild<QLabel *>(QStringLiteral("label_onoff"));
}

void TestCurtain::startsWithOpenCaptionAndNoSpeed()
{
    QCOMPARE(caption()->text(), QStringLiteral("开"));
    QCOMPARE(caption()->styleSheet(), openLook);
    auto *speed = screen->findChild<QSlider *>(QStringLiteral("hs_speed"));
    QVERIFY(!speed->isEnabled());
    QVERIFY(speed->isHidden());
}

void TestCurtain::everyPressSends()
{
    ApplianceFixture::select(0, 0);
    QTest::mouseClick(button("btn_on"), Qt::LeftButton);
    QTest::mouseClick(button("btn_on"), Qt::LeftButton);
    QCOMPARE(fixture.read(0, 14).toHex(' '), QByteArray::fromHex("AA0004010000FFAA0004010000FF").toHex(' '));
    QCOMPARE(int(smallDevInfos[0][0].curtainOn), 1);

    QTest::mouseClick(button("btn_off"), Qt::LeftButton);
    QCOMPARE(fixture.read(0, 7).toHex(' '), QByteArray::fromHex("AA0004020000FF").toHex(' '));
    QCOMPARE(int(smallDevInfos[0][0].curtainOn), 0);
    QCOMPARE(caption()->text(), QStringLiteral("关"));
}

void TestCurtain::pauseAndSpeedSendNothing()
{
    ApplianceFixture::select(0, 0);
    const QByteArray tables = deviceTablesSnapshot();
    auto *speed = screen->findChild<QSlider *>(QStringLiteral("hs_speed"));

    QTest::mouseClick(button("btn_pause"), Qt::LeftButton);
    speed->setSliderDown(true);
    speed->setValue(60);
    speed->setSliderDown(false);

    QCOMPARE(fixture.anySent(), QByteArray());
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
    ApplianceFixture::select(1, 0);
    QTest::mouseClick(button(curtainOn ? "btn_off" : "btn_on"), Qt::LeftButton);
    smallDevInfos[2][3].curtainOn = static_cast<unsigned char>(curtainOn);

    ApplianceFixture::select(3, 2);
    screen->updateItems();
    QCOMPARE(caption()->text(), text);
    QCOMPARE(caption()->styleSheet(), look);

    ApplianceFixture::select(-1, 2);
    screen->updateItems();
    QCOMPARE(caption()->text(), text);
    QCOMPARE(fixture.anySent().size(), 7);
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
    QCOMPARE(fixture.anySent(), QByteArray());
}

QTEST_MAIN(TestCurtain)
#include "tst_curtain.moc"
