#include "app/mainwindow.h"
#include "bus/devicetables.h"
#include "bus/serialports.h"
#include "screens/buscontrol.h"
#include "wire/wire.h"

#include "modalboxes.h"
#include "paneltest.h"
#include "simulatedbus.h"

#include <QSerialPort>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {
constexpr int Bus = 0;
constexpr int CommandedController = 1;
constexpr int Cycles = 10;

// Milliseconds after the poll request: the first five fall between the poll and the end of its
// reply (about 41 ms on the line), the rest after it, before and after the panel's read.
const int commandOffsetsMs[] = {0, 5, 15, 30, 45, 150, 600};

struct SentCommand
{
    int value = 0; // the brightness the frame carries: tells the frames apart in the log
    int offsetMs = 0;
    double sincePollMs = 0; // when it was handed to the port, after the poll was
};

// "12.345 ch0 rx AA 01 0A 00 05 00 FF": seconds since the simulator started, in ms.
double logTimeMs(const QString &line)
{
    return line.section(QLatin1Char(' '), 0, 0).toDouble() * 1000.0;
}

QString commandHex(int value)
{
    Wire::CommandFrame frame = Wire::initialCommandFrame();
    Wire::fillValueCommand(frame, CommandedController, Wire::MainLight, value);
    return QString::fromLatin1(Wire::toBytes(frame).toHex(' ').toUpper());
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}
} // namespace

// One bus as a shared half-duplex line (the simulator garbles a frame and a reply that overlap),
// the panel's real ports and timers, and commands written at chosen times around each poll.
class TestHalfDuplex : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandsAroundAReplyAllArriveAndNoReplyIsLost();

private:
    void sendCommandsAfterPoll();
    double addedDelayMs(const SentCommand &command, const QStringList &received) const;

    std::unique_ptr<SimulatedBus> bus;
    BusControl *screen = nullptr;
    QElapsedTimer clock;
    qint64 pollNs = 0;
    int cyclesStarted = 0;
    int rejectedReads = 0;
    QVector<SentCommand> sent;
};

void TestHalfDuplex::initTestCase()
{
    PanelTest::prepareApplication();
    PanelTest::useMissingPorts();
    bus = std::make_unique<SimulatedBus>(
        Bus, QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
        QStringList{QStringLiteral("--half-duplex")});
    QVERIFY(bus->start());
    serialDeviceFiles[Bus] = bus->devicePath();
    ModalBoxCloser closer;
    MainWindow::getInstance();
    QVERIFY(MainWindow::getCom(Bus)->isOpen());
    screen = BusControl::getInstance();
    clock.start();
}

void TestHalfDuplex::sendCommandsAfterPoll()
{
    if (cyclesStarted == Cycles)
        return;
    ++cyclesStarted;
    pollNs = clock.nsecsElapsed();
    for (int offset : commandOffsetsMs) {
        QTimer::singleShot(offset, Qt::PreciseTimer, this, [this, offset] {
            const int value = sent.size() + 1;
            sent.append({value, offset, (clock.nsecsElapsed() - pollNs) / 1e6});
            MainWindow::getInstance()->sendLight(Bus, CommandedController, Wire::MainLight, value);
        });
    }
}

// From the poll the command followed to the command, as the simulator saw it, less the same span
// on the panel's side: how long the command waited for the line.
double TestHalfDuplex::addedDelayMs(const SentCommand &command, const QStringList &received) const
{
    const QString hex = commandHex(command.value);
    double lastPollMs = -1;
    for (const QString &line : received) {
        if (line.contains(QLatin1String(" rx AA 43 58 ")))
            lastPollMs = logTimeMs(line);
        else if (line.endsWith(hex))
            return logTimeMs(line) - lastPollMs - command.sincePollMs;
    }
    return -1;
}

// Commands written while a reply is due wait for it and leave right after it, in order: every one
// reaches the controller, none meets a reply, and every reply is taken.
void TestHalfDuplex::commandsAroundAReplyAllArriveAndNoReplyIsLost()
{
    auto *pollTimer = screen->findChild<QTimer *>(QStringLiteral("pollTimer"));
    auto *readTimer = screen->findChild<QTimer *>(QStringLiteral("readTimer"));
    // Connected after the screen's own slots, so these run once the poll was written and the reply read.
    connect(pollTimer, &QTimer::timeout, this, &TestHalfDuplex::sendCommandsAfterPoll);
    connect(readTimer, &QTimer::timeout, this, [this] {
        if (cyclesStarted > 0 && retry1 != 0)
            ++rejectedReads;
    });

    const int total = Cycles * int(std::size(commandOffsetsMs));
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), total, (Cycles + 2) * 1000);
    const auto commandsReceived = [this] { return bus->logLines("rx").filter(QStringLiteral(" rx AA 01 0A ")).size(); };
    QTRY_COMPARE_WITH_TIMEOUT(commandsReceived(), total, 2000);
    QVERIFY2(bus->logLines("collision").isEmpty(), qPrintable(bus->logLines("collision").join(QLatin1Char('\n'))));
    QCOMPARE(rejectedReads, 0);

    // In the order they were written, and the last one is what the controller now reports.
    const QStringList received = bus->logLines("rx");
    QStringList expected;
    for (const SentCommand &command : qAsConst(sent))
        expected << commandHex(command.value);
    QStringList commands;
    for (const QString &line : received) {
        if (line.contains(QLatin1String(" rx AA 01 0A ")))
            commands << line.section(QLatin1Char(' '), 3);
    }
    QCOMPARE(commands, expected);
    QTRY_COMPARE_WITH_TIMEOUT(int(smallDevInfos[Bus][CommandedController].mainBright), total, 6000);

    QVector<double> all;
    QVector<double> inWindow;
    QVector<double> outside;
    for (const SentCommand &command : qAsConst(sent)) {
        const double delay = addedDelayMs(command, received);
        all << delay;
        (command.offsetMs < 45 ? inWindow : outside) << delay;
    }
    qInfo("delay added to %d commands (1 ms log resolution): median %.1f ms, worst %.1f ms; "
          "the %d written while a reply was due: median %.1f ms, worst %.1f ms; the %d after it: "
          "median %.1f ms, worst %.1f ms",
          int(all.size()), median(all), *std::max_element(all.begin(), all.end()), int(inWindow.size()),
          median(inWindow), *std::max_element(inWindow.begin(), inWindow.end()), int(outside.size()), median(outside),
          *std::max_element(outside.begin(), outside.end()));
    // Right after the reply: before the panel's read 300 ms after the poll, with room for a busy machine.
    QVERIFY(*std::max_element(all.begin(), all.end()) < 250);
}

QTEST_MAIN(TestHalfDuplex)
#include "tst_halfduplex.moc"
