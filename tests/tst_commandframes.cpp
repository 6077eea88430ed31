#include "app/alarmjournal.h"
#include "app/mainwindow.h"
#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "bus/serialports.h"

#include "busterminals.h"
#include "messagelog.h"
#include "paneltest.h"

#include <QSerialPort>
#include "replies.h"

#include <QtTest>


// Command frames as they reach the wire, read from the far side of four pseudo-terminals.
class TestCommandFrames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void switchCommand_data();
    void switchCommand();
    void valueCommand_data();
    void valueCommand();
    void commandKeepsOtherChannelsFrames();
    void commandShowsInTheRecordUnlessRefused();
    void alarmHistoryGoesToTheJournal();
    void channelOutsideRangeSendsNothing_data();
    void channelOutsideRangeSendsNothing();
    void getComMapsChannels_data();
    void getComMapsChannels();

private:
    QByteArray othersReceived(int channel);

    BusTerminals buses;
    MainWindow *window = nullptr;
};

using Replies::hex;

void TestCommandFrames::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    QVERIFY(buses.openMainWindow());
    window = MainWindow::getInstance();
    for (int channel = 0; channel < ChannelCount; ++channel)
        QVERIFY(MainWindow::getCom(channel)->isOpen());
}

void TestCommandFrames::init()
{
    MessageLog::clear();
    buses.discardPending();
}

QByteArray TestCommandFrames::othersReceived(int channel)
{
    QByteArray bytes;
    for (int other = 0; other < ChannelCount; ++other) {
        if (other != channel)
            bytes += buses.channel(other).readFor(20);
    }
    return bytes;
}

void TestCommandFrames::switchCommand_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("debugLine");

    QTest::newRow("air conditioner on, channel 2")
        << 2 << 1 << 6 << true << hex("AA0106010000FF") << "~~~sendLightOpen~~~: 170 1 6 1 0 0 255";
    QTest::newRow("air conditioner off, channel 2")
        << 2 << 1 << 6 << false << hex("AA0106020000FF") << "~~~sendLightOpen~~~: 170 1 6 2 0 0 255";
    QTest::newRow("fan on, channel 0 device 0")
        << 0 << 0 << 7 << true << hex("AA0007010000FF") << "~~~sendLightOpen~~~: 170 0 7 1 0 0 255";
    QTest::newRow("main light off, channel 3 device 3")
        << 3 << 3 << 10 << false << hex("AA030A020000FF") << "~~~sendLightOpen~~~: 170 3 10 2 0 0 255";
}

void TestCommandFrames::switchCommand()
{
    QFETCH(int, tongdao);
    QFETCH(int, index);
    QFETCH(int, code);
    QFETCH(bool, on);
    QFETCH(QByteArray, wire);
    QFETCH(QString, debugLine);

    window->sendLightOpen(tongdao, index, code, on);

    QCOMPARE(buses.channel(tongdao).read(wire.size()).toHex(' '), wire.toHex(' '));
    QCOMPARE(othersReceived(tongdao), QByteArray());
    QCOMPARE(MessageLog::matching(QStringLiteral("~~~sendLightOpen~~~")), QStringList{debugLine});
}

void TestCommandFrames::valueCommand_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("debugLine");

    QTest::newRow("spot light 55") << 0 << 3 << 9 << 55 << hex("AA0309003700FF")
                                   << "~~~sendLight~~~: 170 3 9 0 55 0 255";
    QTest::newRow("clear alarms, channel 3 device 0")
        << 3 << 0 << 0 << 0 << hex("AA0000000000FF") << "~~~sendLight~~~: 170 0 0 0 0 0 255";
    QTest::newRow("value keeps its low 8 bits")
        << 1 << 2 << 8 << 300 << hex("AA0208002C00FF") << "~~~sendLight~~~: 170 2 8 0 44 0 255";
    QTest::newRow("negative value") << 1 << 2 << 10 << -1 << hex("AA020A00FF00FF")
                                    << "~~~sendLight~~~: 170 2 10 0 255 0 255";
}

void TestCommandFrames::valueCommand()
{
    QFETCH(int, tongdao);
    QFETCH(int, index);
    QFETCH(int, code);
    QFETCH(int, value);
    QFETCH(QByteArray, wire);
    QFETCH(QString, debugLine);

    window->sendLight(tongdao, index, code, value);

    QCOMPARE(buses.channel(tongdao).read(wire.size()).toHex(' '), wire.toHex(' '));
    QCOMPARE(othersReceived(tongdao), QByteArray());
    QCOMPARE(MessageLog::matching(QStringLiteral("~~~sendLight~~~")), QStringList{debugLine});
}

void TestCommandFrames::commandKeepsOtherChannelsFrames()
{
    window->sendLightOpen(0, 2, 4, true);
    window->sendLightOpen(2, 1, 5, false);
    window->sendLight(3, 3, 9, 80);
    const Wire::CommandFrame before[] = {window->commandFrame(0), window->commandFrame(2), window->commandFrame(3)};

    window->sendLightOpen(1, 3, 7, true);

    QCOMPARE(window->commandFrame(0), before[0]);
    QCOMPARE(window->commandFrame(2), before[1]);
    QCOMPARE(window->commandFrame(3), before[2]);
    const Wire::CommandFrame expected = {0xAA, 3, 7, 1, 0, 0, 0xFF};
    QCOMPARE(window->commandFrame(1), expected);
}

// Every sender (a screen, the remote link) relies on it: a command that is not refused is in the
// record at once; a controller judged disconnected gets no frame and its record stays.
void TestCommandFrames::commandShowsInTheRecordUnlessRefused()
{
    resetDeviceTables();
    QSignalSpy applied(Commands::instance(), &Commands::applied);
    QCOMPARE(Commands::instance()->sendSwitch(1, 2, Wire::Fan, true), CommandResult::Sent);
    QCOMPARE(smallDevInfos[1][2].windOn, 1);
    QCOMPARE(applied.takeFirst(), (QVariantList{2, 1, int(Wire::Fan)}));
    QCOMPARE(buses.channel(1).read(Wire::CommandFrameSize).toHex(' '), QByteArray("aa 02 07 01 00 00 ff"));

    ControllerStates::instance()->markSilent(2, 1);
    QCOMPARE(Commands::instance()->sendSwitch(1, 2, Wire::Fan, false), CommandResult::NotAnswering);
    QCOMPARE(Commands::instance()->sendValue(1, 2, Wire::MainLight, 40), CommandResult::NotAnswering);
    QCOMPARE(smallDevInfos[1][2].windOn, 1);
    QCOMPARE(smallDevInfos[1][2].mainBright, 0);
    QCOMPARE(othersReceived(-1), QByteArray());
    QCOMPARE(MessageLog::matching(QStringLiteral("~~~sendLight")).size(), 1);
    QCOMPARE(applied.size(), 0);
    resetDeviceTables();
}

// Raised and cleared as the controller reports them, one entry per kind; acknowledged when the
// clear command goes; silence is no clearing.
void TestCommandFrames::alarmHistoryGoesToTheJournal()
{
    resetDeviceTables();
    QStringList entries;
    AlarmJournal journal(nullptr, [&entries](const AlarmJournal::Entry &entry) {
        entries.append(QString::fromUtf8(entry.join('|')));
    });
    ControllerStates *states = ControllerStates::instance();

    states->report(2, 1, AlarmSmoke | AlarmGas);
    QCOMPARE(
        entries,
        (QStringList{"MESSAGE=alarm raised: bus 2, Control - 2, smoke|PRIORITY=2|PANEL_ALARM_EVENT=raised|PANEL_BUS=2|"
                     "PANEL_CONTROLLER=2|PANEL_ROOM=Control - 2|PANEL_ALARM_KIND=smoke",
                     "MESSAGE=alarm raised: bus 2, Control - 2, gas|PRIORITY=2|PANEL_ALARM_EVENT=raised|PANEL_BUS=2|"
                     "PANEL_CONTROLLER=2|PANEL_ROOM=Control - 2|PANEL_ALARM_KIND=gas"}));
    entries.clear();

    QCOMPARE(Commands::instance()->sendValue(1, 2, Wire::ClearAlarms, 0), CommandResult::Sent);
    QCOMPARE(entries.size(), 2);
    QVERIFY(entries.at(0).contains("PANEL_ALARM_EVENT=acknowledged"));
    states->markSilent(2, 1);
    states->report(2, 1, AlarmGas);
    QCOMPARE(entries.size(), 3);
    QVERIFY(entries.at(2).startsWith("MESSAGE=alarm cleared: bus 2, Control - 2, smoke|PRIORITY=5"));
    states->reset();
    resetDeviceTables();
}

void TestCommandFrames::channelOutsideRangeSendsNothing_data()
{
    QTest::addColumn<int>("tongdao");
    QTest::newRow("-1") << -1;
    QTest::newRow("4") << 4;
    QTest::newRow("large") << 1000000;
}

void TestCommandFrames::channelOutsideRangeSendsNothing()
{
    QFETCH(int, tongdao);
    Wire::CommandFrame before[ChannelCount];
    for (int channel = 0; channel < ChannelCount; ++channel)
        before[channel] = window->commandFrame(channel);

    window->sendLightOpen(tongdao, 1, 6, true);
    window->sendLight(tongdao, 1, 8, 50);

    QCOMPARE(othersReceived(-1), QByteArray());
    for (int channel = 0; channel < ChannelCount; ++channel)
        QCOMPARE(window->commandFrame(channel), before[channel]);
    QCOMPARE(MessageLog::lines().size(), 2);
    QVERIFY(MessageLog::lines().at(0).startsWith(QLatin1String("~~~sendLightOpen~~~: no channel")));
    QVERIFY(MessageLog::lines().at(1).startsWith(QLatin1String("~~~sendLight~~~: no channel")));
}

void TestCommandFrames::getComMapsChannels_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("device");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("2") << 2 << 2;
    QTest::newRow("3") << 3 << 3;
    QTest::newRow("4 falls back to channel 0") << 4 << 0;
    QTest::newRow("-1 falls back to channel 0") << -1 << 0;
}

void TestCommandFrames::getComMapsChannels()
{
    QFETCH(int, channel);
    QFETCH(int, device);
    QSerialPort *const ports[] = {myCom1, myCom2, myCom3, myCom4};
    QCOMPARE(MainWindow::getCom(channel), ports[device]);
}

QTEST_MAIN(TestCommandFrames)
#include "tst_commandframes.moc"
