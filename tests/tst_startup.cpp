#include "app/mainwindow.h"
#include "app/servicenotifier.h"
#include "bus/devicetables.h"
#include "screens/buscontrol.h"
#include "screens/home.h"

#include "messagelog.h"
#include "modalboxes.h"
#include "paneltest.h"

#include <QBackingStore>
#include <QPushButton>
#include <QtTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// Start-up without any serial port, the state tables' start values, and the way to Home and back.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void warnsOncePerMissingPortInOrder();
    void windowIsFramelessAndFullScreen();
    void tablesHoldTheirStartValues();
    void closedPortIsNotWrittenTo();
    void tapOutsideMiddleDoesNothing_data();
    void tapOutsideMiddleDoesNothing();
    void tapInMiddleOpensHome_data();
    void tapInMiddleOpensHome();
    void screensAreCreatedOnce();
    void homeBackgroundIgnoresTouches();
    void homeReturnButtonHidesHome();
    void homeSecondButtonOpensBusControlOverHome();
    void keepAliveOnlyWhileTheWorkIsDone();

private:
    void tap(const QPointF &position);

    ModalBoxCloser *closer = nullptr;
    MainWindow *window = nullptr;
    bool tablesZeroBeforeStart = false;
    int boxesClosedDuringStart = -1;
};

void TestStartup::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    PanelTest::useMissingPorts();

    static const SmallDevInfo zero{};
    tablesZeroBeforeStart = true;
    for (const auto &channel : smallDevInfos) {
        for (const SmallDevInfo &record : channel)
            tablesZeroBeforeStart &= std::memcmp(&record, &zero, sizeof zero) == 0;
    }

    closer = new ModalBoxCloser(this);
    window = MainWindow::getInstance();
    boxesClosedDuringStart = closer->seen().size();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestStartup::init()
{
    MessageLog::clear();
}

void TestStartup::warnsOncePerMissingPortInOrder()
{
    const QStringList expected = {
        QStringLiteral("error|没有可用串口1|1"),
        QStringLiteral("error|没有可用串口2|1"),
        QStringLiteral("error|没有可用串口3|1"),
        QStringLiteral("error|没有可用串口4|1"),
    };
    // None held the main window's construction in a loop of its own, where nothing else runs.
    QCOMPARE(boxesClosedDuringStart, 0);
    QVERIFY(closer->waitFor(ChannelCount));
    QCOMPARE(closer->seen(), expected);
}

void TestStartup::windowIsFramelessAndFullScreen()
{
    QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(window->size(), QSize(1920, 1080));
    QCOMPARE(window->minimumSize(), QSize(1920, 1080));
    QCOMPARE(window->maximumSize(), QSize(1920, 1080));
    QCOMPARE(window->centralWidget()->objectName(), QStringLiteral("centralwidget"));
    QCOMPARE(window->styleSheet(), QStringLiteral("#centralwidget{\nborder-image: url(:/shop.png);\n}"));
}

void TestStartup::tablesHoldTheirStartValues()
{
    QVERIFY(tablesZeroBeforeStart);
    SmallDevInfo expected{};
    expected.airTemp = 18;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        for (int index = 0; index < DevicesPerChannel; ++index) {
            QVERIFY(std::memcmp(&smallDevInfos[channel][index], &expected, sizeof expected) == 0);
            QCOMPARE(smallDevBaojingStates[channel][index], 0);
            for (int circuit = 0; circuit < 3; ++circuit)
                QCOMPARE(lightBright[channel][index][circuit], 0);
        }
    }
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(devAddress), 4), QByteArray::fromHex("00010203"));
    QCOMPARE(QString::fromUtf8(stateName[LinkNormal]), QStringLiteral("正常"));
    QCOMPARE(QString::fromUtf8(stateName[LinkRequesting]), QStringLiteral("请求中.\n."));
    QCOMPARE(QString::fromUtf8(stateName[LinkAlarm]), QString());
    QCOMPARE(QString::fromUtf8(stateName[LinkOffline]), QStringLiteral("设备断线"));
    const int poll[] = {searchIndex, searchIndex2, searchIndex3, searchIndex4, retry1, retry2, retry3, retry4};
    for (int value : poll)
        QCOMPARE(value, 0);
}

// A command on a port that never opened is logged, and nothing tries to write to the port.
void TestStartup::closedPortIsNotWrittenTo()
{
    window->sendLightOpen(1, 2, 6, true);
    QCOMPARE(MessageLog::lines(), QStringList{QStringLiteral("~~~sendLightOpen~~~: 170 2 6 1 0 0 255")});
}

void TestStartup::tap(const QPointF &position)
{
    // Sent to the central widget, as a real touch is: it ignores the press and the window takes it.
    QWidget *target = window->centralWidget();
    QMouseEvent press(QEvent::MouseButtonPress, position, target->mapToGlobal(position.toPoint()), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

void TestStartup::tapOutsideMiddleDoesNothing_data()
{
    QTest::addColumn<QPointF>("position");
    QTest::newRow("left edge") << QPointF(300, 500);
    QTest::newRow("right edge") << QPointF(1600, 500);
    QTest::newRow("top edge") << QPointF(960, 200);
    QTest::newRow("bottom edge") << QPointF(960, 800);
    QTest::newRow("rounds down to 300") << QPointF(300.4, 500);
    QTest::newRow("rounds up to 1600") << QPointF(1599.5, 500);
    QTest::newRow("corner") << QPointF(0, 0);
}

// Runs before any tap inside, so Home must still not exist.
void TestStartup::tapOutsideMiddleDoesNothing()
{
    QFETCH(QPointF, position);
    tap(position);
    QVERIFY(MessageLog::lines().isEmpty());
}

void TestStartup::tapInMiddleOpensHome_data()
{
    QTest::addColumn<QPointF>("position");
    QTest::newRow("top left corner") << QPointF(301, 201);
    QTest::newRow("bottom right corner") << QPointF(1599, 799);
    QTest::newRow("centre") << QPointF(960, 540);
    QTest::newRow("rounds up to 301") << QPointF(300.5, 500);
    QTest::newRow("rounds down to 799") << QPointF(960, 799.4);
}

void TestStartup::tapInMiddleOpensHome()
{
    QFETCH(QPointF, position);
    tap(position);
    Home *home = Home::getInstance();
    QVERIFY(home->isVisible());
    QCOMPARE(MessageLog::count(QStringLiteral("~~enter Home~~")), 1);
    home->hide();
}

void TestStartup::screensAreCreatedOnce()
{
    QCOMPARE(MainWindow::getInstance(), window);
    QCOMPARE(Home::getInstance(), Home::getInstance());
    QCOMPARE(BusControl::getInstance(), BusControl::getInstance());
    QCOMPARE(MessageLog::count(QStringLiteral("new BusControl")), 1);
    QCOMPARE(MessageLog::count(QStringLiteral("new Home")), 0);
    QCOMPARE(MessageLog::count(QStringLiteral("new MainWindow")), 0);
    BusControl::getInstance()->hide();
}

void TestStartup::homeBackgroundIgnoresTouches()
{
    Home *home = Home::getInstance();
    home->show();
    QTest::mouseClick(home, Qt::LeftButton, {}, QPoint(500, 500));
    QTest::mouseClick(home, Qt::LeftButton, {}, QPoint(1100, 500));
    QVERIFY(home->isVisible());
    QVERIFY(MessageLog::lines().isEmpty());
}

void TestStartup::homeReturnButtonHidesHome()
{
    Home *home = Home::getInstance();
    home->show();
    auto *returnButton = home->findChild<QPushButton *>(QStringLiteral("pushButton"));
    QVERIFY(returnButton);
    QCOMPARE(returnButton->geometry(), QRect(1770, 930, 146, 146));
    QTest::mouseClick(returnButton, Qt::LeftButton);
    QVERIFY(!home->isVisible());
    QVERIFY(window->isVisible());
}

void TestStartup::homeSecondButtonOpensBusControlOverHome()
{
    Home *home = Home::getInstance();
    home->show();
    auto *busButton = home->findChild<QPushButton *>(QStringLiteral("pushButton_2"));
    QVERIFY(busButton);
    QCOMPARE(busButton->geometry(), QRect(1102, 515, 80, 44));
    QTest::mouseClick(busButton, Qt::LeftButton);
    BusControl *busControl = BusControl::getInstance();
    QVERIFY(busControl->isVisible());
    // Covered screens are hidden, and come back in their order: each return shows the one beneath.
    QVERIFY(!home->isVisible());
    QVERIFY(!window->isVisible());
    // A screen two returns away gives its picture back meanwhile and is drawn whole when it comes
    // back; the one a return shows keeps it.
    QVERIFY(window->backingStore()->size().width() < window->width());
    QCOMPARE(home->backingStore()->size(), home->size());
    QTest::mouseClick(busControl->findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QVERIFY(!busControl->isVisible());
    QVERIFY(home->isVisible());
    QVERIFY(!window->isVisible());
    QTest::mouseClick(home->findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QVERIFY(!home->isVisible());
    QVERIFY(window->isVisible());
    QTRY_COMPARE(window->backingStore()->size(), window->size());
}

// The service manager's watchdog must catch a poll cycle that stopped while the event loop still
// turns: a keep-alive goes out only when work was done since the last one.
void TestStartup::keepAliveOnlyWhileTheWorkIsDone()
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("notify")));
    const int listener = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    QVERIFY(bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0);
    qputenv("NOTIFY_SOCKET", path);
    qputenv("WATCHDOG_USEC", "200000");
    qputenv("WATCHDOG_PID", QByteArray::number(getpid()));
    QStringList said;
    const auto drain = [&] {
        char message[64];
        for (ssize_t size; (size = recv(listener, message, sizeof message, 0)) > 0;)
            said << QString::fromLatin1(message, int(size));
        return said;
    };

    ServiceNotifier notifier;
    notifier.notifyReadyWhenRunning();
    QTRY_COMPARE(drain(), QStringList({QStringLiteral("READY=1"), QStringLiteral("WATCHDOG=1")}));
    said.clear();
    QTest::qWait(500); // two and a half intervals without work
    QCOMPARE(drain(), QStringList());
    // At once, not at some later tick: a busy board may not turn its event loop again in time.
    notifier.workDone();
    QCOMPARE(drain(), QStringList(QStringLiteral("WATCHDOG=1")));

    for (const char *name : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"})
        qunsetenv(name);
    close(listener);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
