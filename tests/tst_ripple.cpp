#include "app/mainwindow.h"
#include "bus/devicetables.h"
#include "screens/devices.h"
#include "screens/shared/animationsigner.h"

#include "messagelog.h"
#include "modalboxes.h"
#include "paneltest.h"

#include <QPushButton>
#include <QTimeLine>
#include <QtTest>

// The ripple under presses on the dashboard that no button takes.
class TestRipple : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void pressDrawsRippleCentred_data();
    void pressDrawsRippleCentred();
    void pressOnButtonDrawsNone_data();
    void pressOnButtonDrawsNone();
    void pressOnRunningRippleStartsAnother();
    void pressUnderFreshRippleReachesButton();
    void rippleRunsTwiceThenGoes();

private:
    QList<AnimationSigner *> ripples() const;
    QWidget *pressAt(const QPoint &pos);

    Devices *dashboard = nullptr;
};

void TestRipple::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    PanelTest::useMissingPorts();
    ModalBoxCloser closer;
    MainWindow::getInstance();
    dashboard = Devices::getInstance(0, 0, false);
    dashboard->setIndex(0);
    dashboard->setTongdao(0);
    dashboard->updateItems(0, 0);
    dashboard->show();
    QVERIFY(QTest::qWaitForWindowExposed(dashboard));
}

void TestRipple::init()
{
    qDeleteAll(ripples());
    resetDeviceTables();
    Devices::updateConnState(0, 0, LinkNormal, 0);
}

QList<AnimationSigner *> TestRipple::ripples() const
{
    return dashboard->findChildren<AnimationSigner *>(QString(), Qt::FindDirectChildrenOnly);
}

// Delivered as a touch is: to the topmost widget under the finger, passed up while ignored.
QWidget *TestRipple::pressAt(const QPoint &pos)
{
    QWidget *target = dashboard->childAt(pos);
    if (!target)
        target = dashboard;
    QTest::mousePress(target, Qt::LeftButton, {}, target->mapFrom(dashboard, pos));
    return target;
}

void TestRipple::pressDrawsRippleCentred_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("near the corner, clipped") << QPoint(5, 5) << QRect(-15, -15, 40, 40);
    QTest::newRow("background") << QPoint(960, 40) << QRect(940, 20, 40, 40);
    QTest::newRow("header panel") << QPoint(1000, 400) << QRect(980, 380, 40, 40);
    QTest::newRow("ROOM caption") << QPoint(100, 130) << QRect(80, 110, 40, 40);
    QTest::newRow("connection caption") << QPoint(75, 215) << QRect(55, 195, 40, 40);
    QTest::newRow("tile rim outside its touch area") << QPoint(73, 583) << QRect(53, 563, 40, 40);
    QTest::newRow("bottom right corner") << QPoint(1919, 1079) << QRect(1899, 1059, 40, 40);
}

void TestRipple::pressDrawsRippleCentred()
{
    QFETCH(QPoint, pos);
    QFETCH(QRect, geometry);

    pressAt(pos);

    QCOMPARE(ripples().size(), 1);
    AnimationSigner *ripple = ripples().first();
    QCOMPARE(ripple->geometry(), geometry);
    QVERIFY(ripple->isVisible());
    QCOMPARE(dashboard->children().last(), ripple);
    auto *timeLine = ripple->findChild<QTimeLine *>();
    QVERIFY(timeLine);
    QCOMPARE(timeLine->state(), QTimeLine::Running);
    QCOMPARE(timeLine->duration(), 500);
    QCOMPARE(timeLine->loopCount(), 2);
    QCOMPARE(timeLine->endFrame(), 10);
}

void TestRipple::pressOnButtonDrawsNone_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QString>("taker");

    QTest::newRow("touch area over the tile caption") << QPoint(150, 730) << "btn_air";
    QTest::newRow("touch area over the tile picture") << QPoint(520, 650) << "btn_tv";
    QTest::newRow("switch") << QPoint(280, 805) << "btn_air_onoff";
    QTest::newRow("return button") << QPoint(1830, 990) << "btn_return";
    QTest::newRow("clear-alarm button") << QPoint(480, 220) << "btn_clean";
}

void TestRipple::pressOnButtonDrawsNone()
{
    QFETCH(QPoint, pos);
    QFETCH(QString, taker);
    Devices::updateConnState(0, 0, LinkAlarm, AlarmSmoke);

    QWidget *target = pressAt(pos);

    QCOMPARE(target->objectName(), taker);
    // Let go without a click, so the button does nothing further.
    qobject_cast<QPushButton *>(target)->setDown(false);
    QCOMPARE(ripples().size(), 0);
}

void TestRipple::pressOnRunningRippleStartsAnother()
{
    pressAt(QPoint(5, 5));
    QWidget *target = pressAt(QPoint(10, 10));

    QVERIFY(!qobject_cast<AnimationSigner *>(target));
    QCOMPARE(ripples().size(), 2);
    QCOMPARE(ripples().at(0)->geometry(), QRect(-15, -15, 40, 40));
    QCOMPARE(ripples().at(1)->geometry(), QRect(-10, -10, 40, 40));
    for (AnimationSigner *ripple : ripples())
        QCOMPARE(ripple->findChild<QTimeLine *>()->state(), QTimeLine::Running);
}

// A quick second touch lands on the switch, not on the ripple the first one left over it.
void TestRipple::pressUnderFreshRippleReachesButton()
{
    dashboard->CreateOneAnimation(QPoint(280, 805));
    QWidget *target = pressAt(QPoint(280, 805));

    QCOMPARE(target->objectName(), QStringLiteral("btn_air_onoff"));
    qobject_cast<QPushButton *>(target)->setDown(false);
    QCOMPARE(ripples().size(), 1);
}

// Real time: the frames 0 to 10 run twice, then the ripple removes itself about a second after
// its press.
void TestRipple::rippleRunsTwiceThenGoes()
{
    QElapsedTimer clock;
    clock.start();
    pressAt(QPoint(960, 40));
    QSignalSpy frames(ripples().first()->findChild<QTimeLine *>(), &QTimeLine::frameChanged);

    // No upper bound but the wait's own: a busy machine may run the time line late, never early.
    QTRY_VERIFY_WITH_TIMEOUT(ripples().isEmpty(), 5000);

    QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
    int restarts = 0;
    for (int i = 1; i < frames.size(); ++i)
        restarts += frames.at(i).at(0).toInt() < frames.at(i - 1).at(0).toInt() ? 1 : 0;
    QCOMPARE(restarts, 1);
}

QTEST_MAIN(TestRipple)
#include "tst_ripple.moc"
