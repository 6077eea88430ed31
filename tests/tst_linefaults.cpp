#include "app/mainwindow.h"
#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "bus/serialports.h"
#include "screens/buscontrol.h"
#include "screens/devitem.h"

#include "messagelog.h"
#include "modalboxes.h"
#include "paneltest.h"
#include "simulatedbus.h"

#include <QFrame>
#include <QLabel>
#include <QSerialPort>
#include <QThread>
#include <QtTest>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <memory>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PANEL_ASAN 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define PANEL_ASAN 1
#endif
#ifdef PANEL_ASAN
#include <sanitizer/allocator_interface.h>
#endif

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

#ifdef PANEL_ASAN
// Under AddressSanitizer the resident size holds its quarantine and shadow; the allocator's own
// count of live blocks is what the panel keeps.
qint64 memoryInUseKiB()
{
    return qint64(__sanitizer_get_current_allocated_bytes() / 1024);
}
#else
qint64 memoryInUseKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
#endif

QSerialPort *port(int channel)
{
    return MainWindow::getCom(channel);
}

// Counts the commands' debug lines instead of keeping them: a million commands each log one.
int commandLines = 0;
QStringList otherLines;
void countCommandLines(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.startsWith(QLatin1String("~~~sendLightOpen~~~")))
        ++commandLines;
    else
        otherLines << message;
}

// Share of one core the process used over the period while the event loop ran.
double cpuShareOver(int periodMs)
{
    const double before = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(periodMs);
    return (cpuSeconds() - before) / (clock.elapsed() / 1000.0);
}

} // namespace

// Faults on the wire and on the ports, with the simulator's controllers behind real pseudo-terminals
// and the panel polling on its own timers. Every bus fails in its own way at once; each test then
// checks that the faulty bus is shown as it is while the others go on being polled.
class TestLineFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void faultyControllersShowDisconnectedAndTheRestAnswer();
    void pollingCostsNoMoreWithFaultsThanWithout();
    void babbleWhileTheEventLoopStallsStaysBounded();
    void farEndHangsUpAndComesBack();
    void portErrorClosesItUntilItOpensAgain_data();
    void portErrorClosesItUntilItOpensAgain();
    void stuckLineHoldsABoundedBacklog();
    void millionCommandFramesInARow();

private:
    QString caption(int channel, int index) const;
    bool allCaptions(int channel, const QString &text) const;

    // Bus 0: one controller per fault; bus 1: a babbler and three good ones; bus 2: nobody; bus 3: four good ones.
    std::unique_ptr<SimulatedBus> buses[ChannelCount];
    BusControl *screen = nullptr;
    double healthyCpuShare = 0;
};

void TestLineFaults::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    const QStringList good{QStringLiteral("0 tvOn=1"), QStringLiteral("1 alarm=0x80"), QStringLiteral("2"),
                           QStringLiteral("3 airTemp=26")};
    buses[0] = std::make_unique<SimulatedBus>(0,
                                              QStringList{QStringLiteral("0 behaviour=split"),
                                                          QStringLiteral("1 behaviour=slow"),
                                                          QStringLiteral("2 behaviour=garbage"), QStringLiteral("3")});
    buses[1] = std::make_unique<SimulatedBus>(1, good);
    buses[2] = std::make_unique<SimulatedBus>(2, QStringList());
    buses[3] = std::make_unique<SimulatedBus>(3, good);
    for (int channel = 0; channel < ChannelCount; ++channel) {
        QVERIFY(buses[channel]->start());
        serialDeviceFiles[channel] = buses[channel]->devicePath();
    }
    ModalBoxCloser closer;
    MainWindow::getInstance();
    QVERIFY(closer.seen().isEmpty());
    screen = BusControl::getInstance();

    // Bus 1 is all good until the babbler joins: the panel's usual cost, with every bus answering.
    QTRY_COMPARE_WITH_TIMEOUT(caption(1, 3), QStringLiteral("正常"), 8000);
    healthyCpuShare = cpuShareOver(3000);
    qInfo("polling with healthy buses: %.1f %% of a core", healthyCpuShare * 100);
}

void TestLineFaults::cleanupTestCase()
{
    for (auto &bus : buses)
        bus.reset();
}

QString TestLineFaults::caption(int channel, int index) const
{
    auto *panel = screen->findChild<QFrame *>(QStringLiteral("frame%1").arg(channel + 1));
    const auto tiles = panel->findChildren<DevItem *>(QString(), Qt::FindDirectChildrenOnly);
    return tiles.value(index)->getLabelState()->text();
}

bool TestLineFaults::allCaptions(int channel, const QString &text) const
{
    for (int index = 0; index < DevicesPerChannel; ++index) {
        if (caption(channel, index) != text)
            return false;
    }
    return true;
}

// A reply split across the read, a reply that comes after it, noise, a babbler and an empty bus all
// end as disconnected tiles; a good controller beside them keeps answering. (A babbler's neighbours
// answer too, but their replies only count when no babble came first in the read.)
void TestLineFaults::faultyControllersShowDisconnectedAndTheRestAnswer()
{
    buses[1]->stop();
    buses[1] = std::make_unique<SimulatedBus>(1,
                                              QStringList{QStringLiteral("0 behaviour=babble"), QStringLiteral("1"),
                                                          QStringLiteral("2"), QStringLiteral("3")});
    QVERIFY(buses[1]->start());

    const QString offline = QStringLiteral("设备断线");
    const auto settled = [&] {
        return caption(0, 0) == offline && caption(0, 1) == offline && caption(0, 2) == offline
            && caption(0, 3) == QStringLiteral("正常") && caption(1, 0) == offline && allCaptions(2, offline)
            && caption(3, 2) == QStringLiteral("正常");
    };
    // Bus 2 takes longest: twelve polls for its four empty places.
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    QVERIFY(retry1 <= 3 && retry2 <= 3 && retry3 <= 3 && retry4 <= 3);

    // The split reply's two writes and the slow one's late write reached the wire, and were not taken.
    QVERIFY(buses[0]->logLines("tx").size() > 0);
    QCOMPARE(int(smallDevInfos[0][0].tvOn), 0);
    const int polls = buses[3]->pollsReceived();
    QTRY_VERIFY_WITH_TIMEOUT(buses[3]->pollsReceived() >= polls + 2, 3000);
}

// With a babbler streaming 960 bytes a second, a bus of noise and an empty one, the panel works no
// harder than with four good buses.
void TestLineFaults::pollingCostsNoMoreWithFaultsThanWithout()
{
    const double share = cpuShareOver(4000);
    qInfo("polling with faulty buses: %.1f %% of a core (healthy: %.1f %%)", share * 100, healthyCpuShare * 100);
    QVERIFY2(share < qMax(0.05, 3 * healthyCpuShare),
             qPrintable(QStringLiteral("%1 against %2").arg(share).arg(healthyCpuShare)));
}

// While the loop is held for 2 s the babble piles up in the terminal; the port takes at most its
// 4 KiB, and the next poll throws the rest away.
void TestLineFaults::babbleWhileTheEventLoopStallsStaysBounded()
{
    const qint64 memoryBefore = memoryInUseKiB();
    QThread::msleep(2000); // the injected fault: nothing runs meanwhile
    QCoreApplication::processEvents();
    QVERIFY(port(1)->bytesAvailable() <= 4096);
    for (int poll = 0; poll < 3; ++poll) {
        const int before = buses[3]->pollsReceived();
        QTRY_VERIFY_WITH_TIMEOUT(buses[3]->pollsReceived() > before, 3000);
        QVERIFY(port(1)->bytesAvailable() <= 4096);
        QVERIFY(retry2 <= 3);
    }
    QVERIFY(allCaptions(1, QStringLiteral("设备断线")) || caption(1, 0).startsWith(QStringLiteral("请求中")));
    QVERIFY2(memoryInUseKiB() - memoryBefore < 2048, qPrintable(QString::number(memoryInUseKiB() - memoryBefore)));
}

// The far end closes (the simulator ends and its pseudo-terminal with it) and comes back under the
// same name: the port is closed without spinning, its controllers go disconnected while the other
// buses are polled on, and the port opens again by itself.
void TestLineFaults::farEndHangsUpAndComesBack()
{
    MessageLog::clear();
    buses[3]->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!port(3)->isOpen(), 3000);
    QVERIFY(!MessageLog::matching(QStringLiteral("bus port")).isEmpty());

    const int pollsOnBus0 = buses[0]->pollsReceived();
    const double share = cpuShareOver(2000);
    qInfo("with bus 3 hung up: %.1f %% of a core", share * 100);
    QVERIFY2(share < 0.15, qPrintable(QString::number(share)));
    QVERIFY(buses[0]->pollsReceived() >= pollsOnBus0 + 1);
    const auto anyOffline = [this] {
        for (int index = 0; index < DevicesPerChannel; ++index) {
            if (caption(3, index) == QStringLiteral("设备断线"))
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(anyOffline(), 5000);

    QVERIFY(buses[3]->start());
    QTRY_VERIFY_WITH_TIMEOUT(port(3)->isOpen(), 2 * PortReopenIntervalMs);
    QVERIFY(!MessageLog::matching(QStringLiteral("bus port")).filter(QStringLiteral("open again")).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(caption(3, 2), QStringLiteral("正常"), 10000);
}

void TestLineFaults::portErrorClosesItUntilItOpensAgain_data()
{
    QTest::addColumn<int>("openFlags");
    // The port's descriptor is swapped for one of the same terminal that cannot do one of the two.
    QTest::newRow("read error") << int(O_WRONLY);
    QTest::newRow("write error") << int(O_RDONLY);
}

void TestLineFaults::portErrorClosesItUntilItOpensAgain()
{
    QFETCH(int, openFlags);
    MessageLog::clear();
    QVERIFY(port(3)->isOpen());
    const int crippled = ::open(QFile::encodeName(buses[3]->devicePath()).constData(), openFlags | O_NOCTTY);
    QVERIFY(crippled >= 0);
    QVERIFY(::dup2(crippled, int(port(3)->handle())) >= 0);
    ::close(crippled);

    // The next poll's write, or its reply's read, fails.
    QTRY_VERIFY_WITH_TIMEOUT(!port(3)->isOpen(), 3000);
    QVERIFY(!MessageLog::matching(QStringLiteral("bus port")).filter(QStringLiteral("failed")).isEmpty());
    const double share = cpuShareOver(1000);
    qInfo("with the failed port closed: %.1f %% of a core", share * 100);
    QVERIFY2(share < 0.15, qPrintable(QString::number(share)));

    QTRY_VERIFY_WITH_TIMEOUT(port(3)->isOpen(), 2 * PortReopenIntervalMs);
    const int polls = buses[3]->pollsReceived();
    QTRY_VERIFY_WITH_TIMEOUT(buses[3]->pollsReceived() >= polls + 2, 4000);
}

// A far end that stops reading: the kernel's buffer fills, then the port's own backlog, which stops
// at 4 KiB; frames beyond are dropped whole, and writing resumes when the line drains.
void TestLineFaults::stuckLineHoldsABoundedBacklog()
{
    otherLines.clear();
    QVERIFY(::kill(pid_t(buses[2]->pid()), SIGSTOP) == 0);
    // Right after a read no reply is due, so no frame is held for one: the backlog is the line's own.
    QSignalSpy read(screen->findChild<QTimer *>(QStringLiteral("readTimer")), &QTimer::timeout);
    QVERIFY(read.wait(2000));
    // Bursts the line could carry, until nothing leaves the port any more; then more of them.
    const QtMessageHandler previous = qInstallMessageHandler(countCommandLines);
    int burstsAfterFull = 0;
    for (int burst = 0; burst < 5000 && burstsAfterFull < 20; ++burst) {
        // The line is under test, not the controller, which no poll reaches now: it counts as answering.
        ControllerStates::instance()->report(1, 2, 0);
        for (int frame = 0; frame < 100; ++frame)
            MainWindow::getInstance()->sendLightOpen(2, 1, 7, frame % 2);
        QCoreApplication::processEvents();
        QVERIFY(port(2)->bytesToWrite() <= WriteBacklogLimit);
        if (port(2)->bytesToWrite() >= WriteBacklogLimit - 7)
            ++burstsAfterFull;
    }
    qInstallMessageHandler(previous);
    QCOMPARE(burstsAfterFull, 20);
    QCOMPARE(otherLines.filter(QStringLiteral("frames dropped")).size(), 1);

    QVERIFY(::kill(pid_t(buses[2]->pid()), SIGCONT) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(port(2)->bytesToWrite(), qint64(0), 10000);
    const int polls = buses[2]->pollsReceived();
    QTRY_VERIFY_WITH_TIMEOUT(buses[2]->pollsReceived() > polls, 3000);
    // Only whole frames went out: the simulator met no bytes it could not place.
    QVERIFY(buses[2]->logLines("junk").isEmpty());
}

// A million command frames in one go: memory stays put, only whole frames reach the wire, and the
// bus is polled as before once the loop runs again.
void TestLineFaults::millionCommandFramesInARow()
{
    const qint64 memoryBefore = memoryInUseKiB();
    const int junkBefore = buses[3]->logLines("junk").size();
    commandLines = 0;
    QElapsedTimer clock;
    clock.start();
    // The frame writer is under test: the controller counts as answering, whatever the last polls
    // of a bus just hung up found.
    ControllerStates::instance()->report(1, 3, 0);
    const QtMessageHandler previous = qInstallMessageHandler(countCommandLines);
    for (int frame = 0; frame < 1000000; ++frame)
        MainWindow::getInstance()->sendLightOpen(3, 1, 7, frame % 2);
    qInstallMessageHandler(previous);
    const qint64 elapsedMs = clock.elapsed();
    const qint64 grownKiB = memoryInUseKiB() - memoryBefore;
    qInfo("10^6 command frames in %lld ms, memory in use %+lld KiB", elapsedMs, grownKiB);

    QCOMPARE(commandLines, 1000000);
    QVERIFY(port(3)->bytesToWrite() <= WriteBacklogLimit);
    QVERIFY2(grownKiB < 4096, qPrintable(QString::number(grownKiB)));

    QTRY_COMPARE_WITH_TIMEOUT(port(3)->bytesToWrite(), qint64(0), 5000);
    const int polls = buses[3]->pollsReceived();
    QTRY_VERIFY_WITH_TIMEOUT(buses[3]->pollsReceived() >= polls + 2, 4000);
    QTRY_COMPARE_WITH_TIMEOUT(caption(3, 2), QStringLiteral("正常"), 6000);
    QCOMPARE(buses[3]->logLines("junk").size(), junkBefore);
}

QTEST_MAIN(TestLineFaults)
#include "tst_linefaults.moc"
