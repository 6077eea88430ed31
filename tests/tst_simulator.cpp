#include "controllerpatch.h"
#include "controllersim.h"
#include "controllerstate.h"
#include "framelog.h"
#include "framescanner.h"
#include "halfduplexline.h"
#include "replyplanner.h"
#include "scenario.h"
#include "simbus.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

QString hex(const QByteArray &data)
{
    return FrameLog::hex(data);
}

ControllerState controllerWith(const QString &words)
{
    QString error;
    const auto patch = ControllerPatch::parse(words.split(QLatin1Char(' '), Qt::SkipEmptyParts), &error);
    if (!patch)
        qFatal("bad patch in test: %s", qPrintable(error));
    ControllerState controller;
    patch->applyTo(controller);
    return controller;
}

bool checksumHolds(const QByteArray &reply)
{
    return reply.size() == ControllerState::FullReplySize && quint8(reply.back()) == ControllerState::checksum(reply);
}

QByteArray joined(const QVector<ReplyChunk> &chunks)
{
    QByteArray all;
    for (const ReplyChunk &chunk : chunks)
        all += chunk.bytes;
    return all;
}

QString kindPrefix(ScannedFrame::Kind kind)
{
    switch (kind) {
    case ScannedFrame::Poll:
        return QStringLiteral("P:");
    case ScannedFrame::Command:
        return QStringLiteral("C:");
    case ScannedFrame::Junk:
        break;
    }
    return QStringLiteral("J:");
}

// Frames as "P:..", "C:.." and "J:..", neighbouring junk merged, whatever the read boundaries.
QStringList describe(const QVector<ScannedFrame> &frames)
{
    QStringList out;
    for (const ScannedFrame &frame : frames) {
        const QString text = hex(frame.bytes);
        if (frame.kind == ScannedFrame::Junk && !out.isEmpty() && out.last().startsWith(QLatin1String("J:")))
            out.last() += QLatin1Char(' ') + text;
        else
            out << kindPrefix(frame.kind) + text;
    }
    return out;
}

QByteArray readAvailable(int fd)
{
    char buffer[64];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    return count > 0 ? QByteArray(buffer, int(count)) : QByteArray();
}

QStringList scanInPieces(const QByteArray &stream, const QVector<int> &cuts, QByteArray *pending)
{
    FrameScanner scanner;
    QVector<ScannedFrame> frames;
    int from = 0;
    for (int cut : cuts) {
        frames += scanner.feed(stream.mid(from, cut - from));
        from = cut;
    }
    frames += scanner.feed(stream.mid(from));
    *pending = scanner.pending();
    return describe(frames);
}

// A simulator with seed 1 whose frame log goes into memory.
struct LoggedSimulator
{
    explicit LoggedSimulator(const Scenario &scenario)
        : log(openForWriting(&text))
        , sim(scenario, 1, &log)
    {
    }

    static QIODevice *openForWriting(QBuffer *buffer)
    {
        buffer->open(QIODevice::WriteOnly);
        return buffer;
    }

    QStringList lines() const { return QString::fromUtf8(text.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

    QBuffer text;
    FrameLog log;
    ControllerSim sim;
};

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    // replies
    void knownValidReplyOfController1();
    void fieldsLandAtTheirReplyBytes_data();
    void fieldsLandAtTheirReplyBytes();
    void checksumWrapsAt256();
    void shortReplyCarriesIndexAndAlarm();

    // behaviours
    void behaviourShapesTheAnswer_data();
    void behaviourShapesTheAnswer();
    void garbageAndRandomRepeatWithTheSeed();
    void randomMixesTheBehaviours();
    void babblerStreamsAtTheLineRateAndAnswersNothing();

    // commands
    void commandChangesOneByte_data();
    void commandChangesOneByte();
    void busAnswersAndCommandsOnlyPresentControllers();
    void clearAlarmShowsInTheNextReply();

    // half-duplex line
    void panelBytesCollideWhileAReplyIsDue_data();
    void panelBytesCollideWhileAReplyIsDue();
    void collisionGarblesReplyAndLosesCommand();

    // byte stream
    void scannerFindsFrames_data();
    void scannerFindsFrames();

    // scenarios
    void scenarioReadsControllersEventsAndSeed();
    void scenarioRejectsBadLines_data();
    void scenarioRejectsBadLines();
    void defaultBuildingHasWhatTheRunShows();
    void timedEventsApplyInOrder();

    // pseudo-terminals
    void pollThroughPseudoTerminalIsAnsweredAndLogged();
};

void TestSimulator::knownValidReplyOfController1()
{
    const QByteArray expected = bytes("CC0100") + QByteArray(27, char(0)) + bytes("01");
    const QByteArray reply = ControllerState().fullReply(1);
    QCOMPARE(hex(reply), hex(expected));
    QVERIFY(checksumHolds(reply));
}

void TestSimulator::fieldsLandAtTheirReplyBytes_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<int>("replyByte");
    QTest::addColumn<int>("expected");

    QTest::newRow("light belt on") << "lightbeltOn=1" << 3 << 1;
    QTest::newRow("light belt brightness") << "lightbeltBright=80" << 4 << 80;
    QTest::newRow("spot on") << "spotOn=1" << 7 << 1;
    QTest::newRow("spot brightness") << "spotBright=0x40" << 8 << 0x40;
    QTest::newRow("main light on") << "mainOn=1" << 11 << 1;
    QTest::newRow("main brightness") << "mainBright=100" << 12 << 100;
    QTest::newRow("main light last extra") << "mainExt2=9" << 14 << 9;
    QTest::newRow("curtain follows the lights") << "curtainOn=1" << 15 << 1;
    QTest::newRow("curtain extra") << "curtainExt=3" << 16 << 3;
    QTest::newRow("television on") << "tvOn=1" << 17 << 1;
    QTest::newRow("television brightness") << "tvBright=60" << 18 << 60;
    QTest::newRow("television volume") << "tvVol=25" << 19 << 25;
    QTest::newRow("air conditioner on") << "airOn=1" << 21 << 1;
    QTest::newRow("packed air byte, high half") << "airNibbleHi=10" << 22 << 0xA0;
    QTest::newRow("packed air byte, low half") << "airNibbleLo=5" << 22 << 0x05;
    QTest::newRow("packed air byte, both halves") << "airNibbleLo=5 airNibbleHi=3" << 22 << 0x35;
    QTest::newRow("set temperature") << "airTemp=24" << 23 << 24;
    QTest::newRow("air fan speed") << "airSpeed=2" << 24 << 2;
    QTest::newRow("fan on") << "windOn=1" << 26 << 1;
    QTest::newRow("last fan byte before the checksum") << "windExt3=0xFF" << 29 << 0xFF;
    QTest::newRow("alarm byte") << "alarm=0x80" << 2 << 0x80;
}

void TestSimulator::fieldsLandAtTheirReplyBytes()
{
    QFETCH(QString, setting);
    QFETCH(int, replyByte);
    QFETCH(int, expected);

    const QByteArray reply = controllerWith(setting).fullReply(2);
    QCOMPARE(reply.size(), ControllerState::FullReplySize);
    QCOMPARE(int(quint8(reply.at(replyByte))), expected);
    for (int i = 2; i < ControllerState::FullReplySize - 1; ++i) {
        if (i != replyByte)
            QVERIFY2(reply.at(i) == 0, qPrintable(QStringLiteral("byte %1 changed too").arg(i)));
    }
    QVERIFY(checksumHolds(reply));
}

void TestSimulator::checksumWrapsAt256()
{
    ControllerState controller;
    for (int offset = 0; offset < ControllerState::DataSize; ++offset)
        controller.setData(offset, 0xFF);
    controller.setAlarm(0xFF);
    // 3 + 28 * 0xFF = 7143 = 27 * 256 + 231
    QCOMPARE(int(quint8(controller.fullReply(3).back())), 231);
}

void TestSimulator::shortReplyCarriesIndexAndAlarm()
{
    QCOMPARE(hex(ControllerState::shortReply(2, 0x80)), QStringLiteral("BB 02 80 FF"));
}

void TestSimulator::behaviourShapesTheAnswer_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QVector<int>>("delays");
    QTest::addColumn<QString>("head"); // first three bytes of everything written
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("checksumOk");

    const QVector<int> now{0};
    QTest::newRow("full") << "behaviour=full" << now << "CC 02 80" << 31 << true;
    QTest::newRow("short") << "behaviour=short" << now << "BB 02 80" << 4 << false;
    QTest::newRow("silent") << "behaviour=silent" << QVector<int>{} << "" << 0 << false;
    QTest::newRow("bad checksum") << "behaviour=badchecksum" << now << "CC 02 80" << 31 << false;
    QTest::newRow("truncated") << "behaviour=truncated" << now << "CC 02 80" << 30 << false;
    QTest::newRow("wrong index") << "behaviour=wrongindex" << now << "CC 03 80" << 31 << true;
    QTest::newRow("split straddles the read") << "behaviour=split" << QVector<int>{0, 400} << "CC 02 80" << 31 << true;
    QTest::newRow("split with its own gap")
        << "behaviour=split delay=150" << QVector<int>{0, 150} << "CC 02 80" << 31 << true;
    QTest::newRow("slow") << "behaviour=slow" << QVector<int>{400} << "CC 02 80" << 31 << true;
    QTest::newRow("slow but in time") << "behaviour=slow delay=100" << QVector<int>{100} << "CC 02 80" << 31 << true;
}

void TestSimulator::behaviourShapesTheAnswer()
{
    QFETCH(QString, setting);
    QFETCH(QVector<int>, delays);
    QFETCH(QString, head);
    QFETCH(int, size);
    QFETCH(bool, checksumOk);

    ReplyPlanner planner;
    const QVector<ReplyChunk> chunks = planner.plan(controllerWith(setting + " alarm=0x80 tvVol=7"), 2);
    QVector<int> actualDelays;
    for (const ReplyChunk &chunk : chunks) {
        actualDelays << chunk.delayMs;
        QVERIFY(!chunk.bytes.isEmpty());
    }
    QCOMPARE(actualDelays, delays);
    const QByteArray all = joined(chunks);
    QCOMPARE(all.size(), size);
    QCOMPARE(hex(all.left(3)), head);
    QCOMPARE(checksumHolds(all), checksumOk);
}

void TestSimulator::garbageAndRandomRepeatWithTheSeed()
{
    for (const char *setting : {"behaviour=garbage", "behaviour=random"}) {
        const ControllerState controller = controllerWith(QLatin1String(setting));
        ReplyPlanner first(42), second(42), other(43);
        QByteArray a, b, c;
        for (int poll = 0; poll < 50; ++poll) {
            a += joined(first.plan(controller, 1)) + '|';
            b += joined(second.plan(controller, 1)) + '|';
            c += joined(other.plan(controller, 1)) + '|';
        }
        QCOMPARE(a, b);
        QVERIFY2(a != c, setting);
    }
}

// 960 bytes a second, as a 9600-baud line carries, whether polled or not, until it stops babbling.
void TestSimulator::babblerStreamsAtTheLineRateAndAnswersNothing()
{
    SimBus bus(2, 1);
    bus.ensureController(3).setBehaviour(Behaviour::Babble);
    QSignalSpy sent(&bus, &SimBus::transmit);
    bus.controllersChanged();

    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(sent.count() >= 10, 2000);
    int total = 0;
    for (const QList<QVariant> &write : qAsConst(sent))
        total += write.at(0).toByteArray().size();
    const double bytesPerSecond = total * 1000.0 / clock.elapsed();
    QVERIFY2(bytesPerSecond > 480 && bytesPerSecond < 1200, qPrintable(QString::number(bytesPerSecond)));

    bus.ensureController(3).setBehaviour(Behaviour::Silent);
    bus.controllersChanged();
    sent.clear();
    bus.receive(bytes("AA 43 58 03 FF"));
    QVERIFY(sent.isEmpty());
    QVERIFY(!sent.wait(200));
}

void TestSimulator::randomMixesTheBehaviours()
{
    const ControllerState controller = controllerWith(QStringLiteral("behaviour=random"));
    ReplyPlanner planner(7);
    QSet<QString> seen;
    for (int poll = 0; poll < 400; ++poll) {
        const QVector<ReplyChunk> chunks = planner.plan(controller, 1);
        const QByteArray all = joined(chunks);
        if (chunks.isEmpty())
            seen << QStringLiteral("silent");
        else if (chunks.size() == 2 && checksumHolds(all))
            seen << QStringLiteral("split");
        else if (chunks.first().delayMs > 0)
            seen << QStringLiteral("slow");
        else if (all == controller.fullReply(1))
            seen << QStringLiteral("full");
        else if (all == controller.fullReply(2))
            seen << QStringLiteral("wrong index");
        else if (all == ControllerState::shortReply(1, 0))
            seen << QStringLiteral("short");
        else if (all.size() == 31 && all.left(30) == controller.fullReply(1).left(30))
            seen << QStringLiteral("bad checksum");
        else if (all.size() < 31 && controller.fullReply(1).startsWith(all))
            seen << QStringLiteral("truncated");
    }
    const QStringList expected{"silent", "split", "slow", "full", "wrong index", "short", "bad checksum", "truncated"};
    for (const QString &kind : expected)
        QVERIFY2(seen.contains(kind), qPrintable(kind));
}

void TestSimulator::commandChangesOneByte_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("switchByte");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("replyByte"); // -1: nothing changes
    QTest::addColumn<int>("expected");

    QTest::newRow("curtain open") << 4 << 1 << 0 << 15 << 1;
    QTest::newRow("curtain close") << 4 << 2 << 0 << 15 << 0;
    QTest::newRow("television on") << 5 << 1 << 0 << 17 << 1;
    QTest::newRow("television off") << 5 << 2 << 0 << 17 << 0;
    QTest::newRow("air conditioner on") << 6 << 1 << 0 << 21 << 1;
    QTest::newRow("air conditioner off") << 6 << 2 << 0 << 21 << 0;
    QTest::newRow("fan on") << 7 << 1 << 0 << 26 << 1;
    QTest::newRow("fan off") << 7 << 2 << 0 << 26 << 0;
    QTest::newRow("light belt on") << 8 << 1 << 0 << 3 << 1;
    QTest::newRow("spot off") << 9 << 2 << 0 << 7 << 0;
    QTest::newRow("main light on") << 10 << 1 << 0 << 11 << 1;
    QTest::newRow("main light off") << 10 << 2 << 0 << 11 << 0;
    QTest::newRow("light belt brightness") << 8 << 0 << 55 << 4 << 55;
    QTest::newRow("spot brightness") << 9 << 0 << 0 << 8 << 0;
    QTest::newRow("main brightness") << 10 << 0 << 100 << 12 << 100;
    QTest::newRow("fan has no brightness") << 7 << 0 << 55 << -1 << 0;
    QTest::newRow("unknown code") << 11 << 1 << 0 << -1 << 0;
    QTest::newRow("unknown switch byte") << 6 << 3 << 0 << -1 << 0;
}

void TestSimulator::commandChangesOneByte()
{
    QFETCH(int, code);
    QFETCH(int, switchByte);
    QFETCH(int, value);
    QFETCH(int, replyByte);
    QFETCH(int, expected);

    ControllerState controller;
    for (int offset = 0; offset < ControllerState::DataSize; ++offset)
        controller.setData(offset, 0x22);
    const QByteArray before = controller.fullReply(0);
    QCOMPARE(controller.applyCommand(quint8(code), quint8(switchByte), quint8(value)), replyByte >= 0);

    const QByteArray after = controller.fullReply(0);
    for (int i = 0; i < ControllerState::FullReplySize - 1; ++i) {
        const int want = i == replyByte ? expected : quint8(before.at(i));
        QCOMPARE(int(quint8(after.at(i))), want);
    }
}

void TestSimulator::busAnswersAndCommandsOnlyPresentControllers()
{
    SimBus bus(1, 1);
    bus.ensureController(1);
    bus.ensureController(2);
    QSignalSpy sent(&bus, &SimBus::transmit);

    bus.receive(bytes("AA 01 07 01 00 00 FF"));
    bus.receive(bytes("AA0308000000FF")); // absent controller: nothing to change
    bus.receive(bytes("AA435803FF"));
    QCOMPARE(sent.count(), 0);

    bus.receive(bytes("AA435801FF"));
    QCOMPARE(sent.count(), 1);
    QCOMPARE(int(quint8(sent.at(0).at(0).toByteArray().at(26))), 1); // fan on
    QCOMPARE(bus.controller(2)->data(23), quint8(0));                // neighbour untouched
    QVERIFY(!bus.controller(3));
}

void TestSimulator::clearAlarmShowsInTheNextReply()
{
    SimBus bus(0, 1);
    bus.ensureController(0).setAlarm(0x88);
    QSignalSpy sent(&bus, &SimBus::transmit);

    bus.receive(bytes("AA435800FF"));
    bus.receive(bytes("AA0000000000FF"));
    bus.receive(bytes("AA435800FF"));

    QCOMPARE(sent.count(), 2);
    QCOMPARE(hex(sent.at(0).at(0).toByteArray().left(3)), QStringLiteral("CC 00 88"));
    QCOMPARE(hex(sent.at(1).at(0).toByteArray().left(3)), QStringLiteral("CC 00 00"));
}

void TestSimulator::panelBytesCollideWhileAReplyIsDue_data()
{
    QTest::addColumn<int>("replyBytes");
    QTest::addColumn<int>("commandAtUs"); // arrival of a 7-byte command, after the poll's arrival
    QTest::addColumn<bool>("collides");

    // A 5-byte poll arriving at 0 is on the line until 5.2 ms; with a 3 ms turnaround a 31-byte reply
    // runs from 8.2 ms to 40.5 ms.
    QTest::newRow("written with the poll") << 31 << 0 << true;
    QTest::newRow("in the turnaround") << 31 << 6000 << true;
    QTest::newRow("under the reply") << 31 << 25000 << true;
    QTest::newRow("starting just before the reply ends") << 31 << 40400 << true;
    QTest::newRow("just after the reply") << 31 << 40600 << false;
    QTest::newRow("after a short reply") << 4 << 12400 << false;
    QTest::newRow("under a short reply") << 4 << 12000 << true;
    QTest::newRow("no reply due") << 0 << 6000 << false;
}

void TestSimulator::panelBytesCollideWhileAReplyIsDue()
{
    QFETCH(int, replyBytes);
    QFETCH(int, commandAtUs);
    QFETCH(bool, collides);

    HalfDuplexLine line(3);
    const HalfDuplexLine::Span poll = line.panelSends(0, 5);
    QVERIFY(!line.overlapsReply(poll));
    line.pollEnded(poll.endNs);
    if (replyBytes > 0)
        line.bookReply(0, replyBytes);
    QCOMPARE(line.overlapsReply(line.panelSends(commandAtUs * 1000LL, 7)), collides);
}

// On the line, a command sent while its bus answers a poll garbles both: the reply arrives
// corrupted, the command is not applied, and the log says so. Once the reply is through, both pass.
void TestSimulator::collisionGarblesReplyAndLosesCommand()
{
    Scenario scenario;
    QString error;
    QVERIFY(scenario.parse(QStringLiteral("controller 0 0 tvOn=1\n"), &error));
    LoggedSimulator logged(scenario);
    ControllerSim &sim = logged.sim;
    QVERIFY2(sim.openPorts(&error), qPrintable(error));
    sim.setHalfDuplex(3);
    SimBus *bus = sim.bus(0);
    QSignalSpy sent(bus, &SimBus::transmit);
    const QByteArray intact = bus->controller(0)->fullReply(0);

    QElapsedTimer clock;
    clock.start();
    bus->receive(bytes("AA435800FF"));
    bus->receive(bytes("AA0007010000FF")); // fan on, while the reply is due
    QVERIFY(sent.wait(1000));
    QVERIFY2(clock.elapsed() >= 40, qPrintable(QString::number(clock.elapsed()))); // 5 + 3 + 31 bytes
    QCOMPARE(sent.at(0).at(0).toByteArray().size(), intact.size());
    QVERIFY(sent.at(0).at(0).toByteArray() != intact);
    QCOMPARE(bus->controller(0)->data(23), quint8(0));

    sent.clear();
    bus->receive(bytes("AA435800FF"));
    QVERIFY(sent.wait(1000));
    QCOMPARE(hex(sent.at(0).at(0).toByteArray()), hex(intact));
    bus->receive(bytes("AA0007010000FF"));
    QCOMPARE(bus->controller(0)->data(23), quint8(1));

    const QStringList lines = logged.lines();
    const QRegularExpression collision(QStringLiteral("^\\d+\\.\\d{3} ch0 collision AA 00 07 01 00 00 FF$"));
    QCOMPARE(lines.filter(collision).size(), 1);
    QCOMPARE(lines.filter(QStringLiteral(" ch0 rx AA 00 07")).size(), 1);
}

void TestSimulator::scannerFindsFrames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("pending");

    QTest::newRow("poll") << bytes("AA435802FF") << QStringList{"P:AA 43 58 02 FF"} << "";
    QTest::newRow("command") << bytes("AA 01 06 01 00 00 FF") << QStringList{"C:AA 01 06 01 00 00 FF"} << "";
    QTest::newRow("command then poll") << bytes("AA0309003700FFAA435800FF")
                                       << QStringList{"C:AA 03 09 00 37 00 FF", "P:AA 43 58 00 FF"} << "";
    QTest::newRow("noise around a poll") << bytes("0112FFAA435801FF5A")
                                         << QStringList{"J:01 12 FF", "P:AA 43 58 01 FF", "J:5A"} << "";
    QTest::newRow("stray start byte before a poll")
        << bytes("AAAA435803FF") << QStringList{"J:AA", "P:AA 43 58 03 FF"} << "";
    QTest::newRow("broken poll, then a command")
        << bytes("AA43587700AA0207020000FF") << QStringList{"J:AA 43 58 77 00", "C:AA 02 07 02 00 00 FF"} << "";
    QTest::newRow("value byte that looks like a start")
        << bytes("AA 01 08 00 AA 00 FF") << QStringList{"C:AA 01 08 00 AA 00 FF"} << "";
    QTest::newRow("unfinished poll waits") << bytes("12AA4358") << QStringList{"J:12"} << "AA 43 58";
    QTest::newRow("unfinished command waits") << bytes("AA020A01") << QStringList{} << "AA 02 0A 01";
}

void TestSimulator::scannerFindsFrames()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, frames);
    QFETCH(QString, pending);

    QByteArray left;
    QCOMPARE(scanInPieces(stream, {}, &left), frames);
    QCOMPARE(hex(left), pending);

    // However the reads cut it: in two pieces at every position, and byte by byte.
    for (int cut = 1; cut < stream.size(); ++cut) {
        QCOMPARE(scanInPieces(stream, {cut}, &left), frames);
        QCOMPARE(hex(left), pending);
    }
    QVector<int> everyByte;
    for (int cut = 1; cut < stream.size(); ++cut)
        everyByte << cut;
    QCOMPARE(scanInPieces(stream, everyByte, &left), frames);
}

void TestSimulator::scenarioReadsControllersEventsAndSeed()
{
    Scenario scenario;
    QString error;
    const bool parsed = scenario.parse(QStringLiteral("# the building\n"
                                                      "controller 0 1 behaviour=short alarm=0x80   # smoke\n"
                                                      "\n"
                                                      "controller 3 3 airTemp=26 tvVol=12\n"
                                                      "at 20 0 1 alarm=0\n"
                                                      "at 5.5 2 0 behaviour=full windOn=1\n"
                                                      "seed 99\n"),
                                       &error);
    QVERIFY2(parsed, qPrintable(error));

    QCOMPARE(scenario.controllers().size(), 2);
    ControllerState first;
    scenario.controllers().at(0).patch.applyTo(first);
    QCOMPARE(first.behaviour(), Behaviour::Short);
    QCOMPARE(first.alarm(), quint8(0x80));
    const Scenario::Entry &last = scenario.controllers().at(1);
    QCOMPARE(last.channel, 3);
    QCOMPARE(last.index, 3);

    const QVector<Scenario::Entry> events = scenario.events();
    QCOMPARE(events.size(), 2);
    QCOMPARE(events.at(0).atSeconds, 5.5);
    QCOMPARE(events.at(0).channel, 2);
    QCOMPARE(events.at(1).atSeconds, 20.0);
    QCOMPARE(scenario.seed(), std::optional<quint32>(99));
}

void TestSimulator::scenarioRejectsBadLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("unknown keyword") << "controller 0 0\nroom 1 1"
                                     << "line 2: unknown keyword \"room\"";
    QTest::newRow("channel out of range") << "controller 4 0"
                                          << "line 1: channel and index";
    QTest::newRow("index out of range") << "controller 0 -1"
                                        << "line 1: channel and index";
    QTest::newRow("missing index") << "controller 0"
                                   << "line 1: expected <channel> <index>";
    QTest::newRow("unknown behaviour") << "controller 0 0 behaviour=sleepy"
                                       << "unknown behaviour \"sleepy\"";
    QTest::newRow("unknown field") << "controller 0 0 fridgeOn=1"
                                   << "unknown field \"fridgeOn\"";
    QTest::newRow("byte too large") << "controller 0 0 tvVol=256"
                                    << "does not fit tvVol";
    QTest::newRow("half byte too large") << "controller 0 0 airNibbleHi=16"
                                         << "does not fit airNibbleHi";
    QTest::newRow("bare word") << "controller 0 0 short"
                               << "expected key=value";
    QTest::newRow("time missing") << "at 0 1 alarm=1"
                                  << "line 1: channel and index";
    QTest::newRow("negative time") << "at -1 0 1"
                                   << "at needs a time";
    QTest::newRow("seed without number") << "seed"
                                         << "seed takes one number";
}

void TestSimulator::scenarioRejectsBadLines()
{
    QFETCH(QString, text);
    QFETCH(QString, error);

    Scenario scenario;
    QString message;
    QVERIFY(!scenario.parse(text, &message));
    QVERIFY2(message.contains(error), qPrintable(message));
    QVERIFY(scenario.controllers().isEmpty()); // nothing kept from a failed parse
}

void TestSimulator::defaultBuildingHasWhatTheRunShows()
{
    Scenario scenario;
    QString error;
    QVERIFY2(scenario.parseFile(QStringLiteral(SIMULATOR_DEFAULT_SCENARIO), &error), qPrintable(error));

    int answering = 0, silent = 0, smoke = 0;
    for (const Scenario::Entry &entry : scenario.controllers()) {
        ControllerState controller;
        entry.patch.applyTo(controller);
        answering += controller.behaviour() == Behaviour::Full;
        silent += controller.behaviour() == Behaviour::Silent;
        smoke += (controller.alarm() & 0x80) != 0;
    }
    QVERIFY(answering >= 4);
    QVERIFY(silent >= 1);
    QVERIFY(smoke >= 1);

    bool lateAlarm = false;
    for (const Scenario::Entry &event : scenario.events()) {
        ControllerState controller;
        event.patch.applyTo(controller);
        lateAlarm |= controller.alarm() != 0 && event.atSeconds >= 10 && event.atSeconds <= 30;
    }
    QVERIFY(lateAlarm);
}

void TestSimulator::timedEventsApplyInOrder()
{
    Scenario scenario;
    QString error;
    QVERIFY(scenario.parse(QStringLiteral("controller 0 1 behaviour=silent\n"
                                          "at 0.06 0 1 alarm=0x10\n"
                                          "at 0.03 0 1 behaviour=short alarm=0x40\n"
                                          "at 0.03 2 3 tvVol=9\n"),
                           &error));
    LoggedSimulator logged(scenario);
    ControllerSim &sim = logged.sim;
    QVERIFY(sim.bus(0)->controller(1));
    QVERIFY(!sim.bus(2)->controller(3));
    sim.start();

    QTRY_VERIFY(sim.bus(2)->controller(3));
    QCOMPARE(sim.bus(2)->controller(3)->data(16), quint8(9));
    QTRY_COMPARE(sim.bus(0)->controller(1)->alarm(), quint8(0x10));
    QCOMPARE(sim.bus(0)->controller(1)->behaviour(), Behaviour::Short);

    const QStringList lines = logged.lines();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).endsWith(QLatin1String(" ch0 event idx1 behaviour=short alarm=0x40")));
    QVERIFY(lines.at(1).endsWith(QLatin1String(" ch2 event idx3 tvVol=9")));
    QVERIFY(lines.at(2).endsWith(QLatin1String(" ch0 event idx1 alarm=0x10")));
}

void TestSimulator::pollThroughPseudoTerminalIsAnsweredAndLogged()
{
    Scenario scenario;
    QString error;
    QVERIFY(scenario.parse(QStringLiteral("controller 3 2 airTemp=23\n"), &error));
    LoggedSimulator logged(scenario);
    ControllerSim &sim = logged.sim;
    QVERIFY2(sim.openPorts(&error), qPrintable(error));

    const QByteArray path = sim.slavePaths().at(3).toLocal8Bit();
    const QByteArray expected = sim.bus(3)->controller(2)->fullReply(2);
    // The panel closes and reopens its port; the second opening must still be answered.
    for (int opening = 0; opening < 2; ++opening) {
        const int port = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(port >= 0);
        QCOMPARE(::write(port, "\xAA\x43\x58\x02\xFF", 5), ssize_t(5));
        QByteArray reply;
        QTRY_VERIFY((reply += readAvailable(port)).size() >= ControllerState::FullReplySize);
        ::close(port);
        QCOMPARE(hex(reply), hex(expected));
    }

    const QRegularExpression line(
        QStringLiteral("^\\d+\\.\\d{3} ch3 (rx AA 43 58 02 FF|tx CC 02 00( [0-9A-F]{2}){28})$"));
    const QStringList lines = logged.lines();
    QCOMPARE(lines.size(), 4);
    for (const QString &text : lines)
        QVERIFY2(line.match(text).hasMatch(), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
