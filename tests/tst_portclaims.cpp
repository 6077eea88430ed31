#include "app/mainwindow.h"
#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "bus/serialports.h"
#include "screens/buscontrol.h"
#include "screens/devitem.h"
#include "wire/wire.h"

#include "modalboxes.h"
#include "paneltest.h"
#include "pseudoterminal.h"

#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <termios.h>
#include <memory>

namespace {
constexpr int MissingBus = 0;
constexpr int HeldBus = 1;

// The second program: opens a port as the panel does and keeps it until its input closes.
// Says "held" or "refused <error>" on its output first.
int holdPort(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QSerialPort port(QString::fromLocal8Bit(argv[2]));
    if (port.open(QIODevice::ReadWrite))
        std::puts("held");
    else
        std::printf("refused %d\n", int(port.error()));
    std::fflush(stdout);
    while (std::getchar() != EOF) {}
    return 0;
}

int *const pollIndices[ChannelCount] = {&searchIndex, &searchIndex2, &searchIndex3, &searchIndex4};
int *const unanswered[ChannelCount] = {&retry1, &retry2, &retry3, &retry4};
} // namespace

// Ports that the panel cannot have: a device file that is not there, and one that another program
// holds. The panel warns once for each, shows their controllers disconnected in turn, polls the
// other buses as usual, and never writes to the held port.
class TestPortClaims : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void warnsOncePerPortItCannotHave();
    void portsTakeTheBusLineSettings();
    void unreachableBusesAreWalkedThroughWhileOthersArePolled();
    void secondProgramCannotTakeAPortThePanelHolds();
    void deviceFileThatAppearsLaterIsTakenIntoUse();

private:
    QString caption(int channel, int index) const;
    QByteArray startHolder(QProcess &holder, const QString &path);

    std::unique_ptr<PseudoTerminal> terminals[ChannelCount];
    QProcess firstHolder;
    QStringList warnings;
    // The missing bus's device file: a link to its terminal, made only once the panel runs.
    QTemporaryDir lateDeviceDir;
};

QByteArray TestPortClaims::startHolder(QProcess &holder, const QString &path)
{
    holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-port"), path});
    if (!holder.waitForStarted(5000) || !holder.waitForReadyRead(5000))
        return QByteArray();
    return holder.readLine().trimmed();
}

void TestPortClaims::initTestCase()
{
    PanelTest::prepareApplication();
    for (auto &terminal : terminals) {
        terminal = std::make_unique<PseudoTerminal>();
        QVERIFY(terminal->isOpen());
    }
    for (int channel = 0; channel < ChannelCount; ++channel)
        serialDeviceFiles[channel] = terminals[channel]->slavePath();
    // Every setting the panel must make starts wrong, so that what a port leaves alone shows.
    for (int channel : {2, 3}) {
        termios wrong = terminals[channel]->lineSettings();
        cfsetispeed(&wrong, B38400);
        cfsetospeed(&wrong, B38400);
        wrong.c_cflag |= CSTOPB | CRTSCTS;
        wrong.c_iflag |= IXON | IXOFF | ICRNL;
        wrong.c_oflag |= OPOST;
        wrong.c_lflag |= ICANON | ECHO | ISIG;
        QVERIFY(terminals[channel]->setLineSettings(wrong));
    }
    QVERIFY(lateDeviceDir.isValid());
    serialDeviceFiles[MissingBus] = lateDeviceDir.filePath(QStringLiteral("ttyS2"));
    QCOMPARE(startHolder(firstHolder, serialDeviceFiles[HeldBus]), QByteArray("held"));

    ModalBoxCloser closer;
    MainWindow::getInstance();
    closer.waitFor(2);
    warnings = closer.seen();
    PanelTest::createQuietBusControl();
}

void TestPortClaims::cleanupTestCase()
{
    firstHolder.closeWriteChannel();
    firstHolder.waitForFinished(5000);
}

QString TestPortClaims::caption(int channel, int index) const
{
    auto *panel = BusControl::getInstance()->findChild<QFrame *>(QStringLiteral("frame%1").arg(channel + 1));
    const auto tiles = panel->findChildren<DevItem *>(QString(), Qt::FindDirectChildrenOnly);
    return tiles.value(index)->getLabelState()->text();
}

void TestPortClaims::warnsOncePerPortItCannotHave()
{
    QCOMPARE(warnings, QStringList({QStringLiteral("error|没有可用串口1|1"), QStringLiteral("error|没有可用串口2|1")}));
    QVERIFY(!MainWindow::getCom(MissingBus)->isOpen());
    QVERIFY(!MainWindow::getCom(HeldBus)->isOpen());
    QVERIFY(MainWindow::getCom(2)->isOpen());
    QVERIFY(MainWindow::getCom(3)->isOpen());
    QCOMPARE(firstHolder.state(), QProcess::Running);
}

// 9600 8N1 without flow control, raw: read back from the terminals. The pty forces CS8 without parity,
// so those two are taken from the ports themselves.
void TestPortClaims::portsTakeTheBusLineSettings()
{
    for (int channel : {2, 3}) {
        const termios line = terminals[channel]->lineSettings();
        QCOMPARE(cfgetispeed(&line), speed_t(B9600));
        QCOMPARE(cfgetospeed(&line), speed_t(B9600));
        QCOMPARE(line.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(line.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(line.c_iflag & (IXON | IXOFF | IXANY | ICRNL), tcflag_t(0));
        QCOMPARE(line.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(line.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(MainWindow::getCom(channel)->dataBits(), QSerialPort::Data8);
        QCOMPARE(MainWindow::getCom(channel)->parity(), QSerialPort::NoParity);
    }
}

void TestPortClaims::unreachableBusesAreWalkedThroughWhileOthersArePolled()
{
    BusControl *screen = BusControl::getInstance();
    auto *readTimer = screen->findChild<QTimer *>(QStringLiteral("readTimer"));
    QVector<int> polledOnMissing;
    for (int poll = 0; poll < 12; ++poll) {
        screen->sendCommand();
        readTimer->stop();
        polledOnMissing << *pollIndices[MissingBus];
        for (int channel : {2, 3}) {
            const QByteArray request = terminals[channel]->read(Wire::PollRequestSize);
            QCOMPARE(request, Wire::pollRequest(devAddress[*pollIndices[channel]]));
            terminals[channel]->write(QByteArray::fromHex("BB") + char(*pollIndices[channel])
                                      + QByteArray::fromHex("00FF"));
        }
        QTRY_VERIFY(MainWindow::getCom(3)->bytesAvailable() >= 4 && MainWindow::getCom(2)->bytesAvailable() >= 4);
        screen->readMyCom();
        QVERIFY(*unanswered[HeldBus] <= 3);
    }
    QCOMPARE(polledOnMissing, QVector<int>({0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
    for (int index = 0; index < DevicesPerChannel; ++index) {
        QCOMPARE(caption(MissingBus, index), QStringLiteral("设备断线"));
        QCOMPARE(caption(HeldBus, index), QStringLiteral("设备断线"));
        QCOMPARE(caption(3, index), QStringLiteral("正常"));
    }
    // Not one byte of the panel's reached the bus another program holds.
    QVERIFY(terminals[HeldBus]->readFor(50).isEmpty());
}

void TestPortClaims::secondProgramCannotTakeAPortThePanelHolds()
{
    QProcess second;
    const QByteArray answer = startHolder(second, serialDeviceFiles[2]);
    second.closeWriteChannel();
    QVERIFY(second.waitForFinished(5000));
    QVERIFY2(answer.startsWith("refused"), answer.constData());
    QVERIFY(MainWindow::getCom(2)->isOpen());

    BusControl::getInstance()->sendCommand();
    QCOMPARE(terminals[2]->read(Wire::PollRequestSize).size(), Wire::PollRequestSize);
}

// An adapter that shows up after start-up (a late USB adapter, a driver loaded late) is opened
// quietly within a retry period, and its bus is polled and commanded like the others.
void TestPortClaims::deviceFileThatAppearsLaterIsTakenIntoUse()
{
    QVERIFY(!MainWindow::getCom(MissingBus)->isOpen());
    QVERIFY(QFile::link(terminals[MissingBus]->slavePath(), serialDeviceFiles[MissingBus]));
    QTRY_VERIFY_WITH_TIMEOUT(MainWindow::getCom(MissingBus)->isOpen(), 2 * PortReopenIntervalMs);

    BusControl *screen = BusControl::getInstance();
    screen->sendCommand();
    screen->findChild<QTimer *>(QStringLiteral("readTimer"))->stop();
    QCOMPARE(terminals[MissingBus]->read(Wire::PollRequestSize),
             Wire::pollRequest(devAddress[*pollIndices[MissingBus]]));
    screen->readMyCom();
    // Nothing answered on the bus while it was missing; controller 2 has answered since.
    ControllerStates::instance()->report(2, MissingBus, 0);
    MainWindow::getInstance()->sendLightOpen(MissingBus, 2, Wire::Fan, true);
    QCOMPARE(terminals[MissingBus]->read(Wire::CommandFrameSize).toHex(' '), QByteArray("aa 02 07 01 00 00 ff"));
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--hold-port") == 0)
        return holdPort(argc, argv);
    QApplication app(argc, argv);
    TestPortClaims test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_portclaims.moc"
