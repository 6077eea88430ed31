#include "remote/remotesettings.h"
#include "remote/remotetopics.h"

#include <QtTest>

// Commands as they arrive from the broker: exactly ours, or nothing.
class TestRemoteTopics : public QObject
{
    Q_OBJECT

private slots:
    void parseCommand_data();
    void parseCommand();
    void panelIdIsKeyedFromMachineId();
};

namespace {
// "bus controller appliance on|off|<level>", or "rejected".
QString described(const std::optional<RemoteCommand> &command)
{
    if (!command)
        return QStringLiteral("rejected");
    const QString what = command->dimming ? QString::number(command->value) : QLatin1String(command->on ? "on" : "off");
    return QStringLiteral("%1 %2 %3 %4")
        .arg(command->tongdao)
        .arg(command->index)
        .arg(applianceName(command->appliance), what);
}
} // namespace

void TestRemoteTopics::parseCommand_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("command");

    const QString rejected = QStringLiteral("rejected");
    QTest::newRow("fan on") << "panel/p1/1/2/fan/set" << QByteArray("ON") << "1 2 fan on";
    QTest::newRow("fan off, first controller") << "panel/p1/0/0/fan/set" << QByteArray("OFF") << "0 0 fan off";
    QTest::newRow("last controller") << "panel/p1/3/3/television/set" << QByteArray("ON") << "3 3 television on";
    QTest::newRow("air conditioner off") << "panel/p1/2/1/air_conditioner/set" << QByteArray("OFF")
                                         << "2 1 air_conditioner off";
    QTest::newRow("curtain open") << "panel/p1/0/1/curtain/set" << QByteArray("OPEN") << "0 1 curtain on";
    QTest::newRow("curtain close") << "panel/p1/0/1/curtain/set" << QByteArray("CLOSE") << "0 1 curtain off";
    QTest::newRow("main light on") << "panel/p1/1/1/main_light/set" << QByteArray("ON") << "1 1 main_light on";
    QTest::newRow("clear alarms") << "panel/p1/2/3/clear_alarms/set" << QByteArray("PRESS") << "2 3 clear_alarms on";
    QTest::newRow("brightness 0") << "panel/p1/0/2/spot_light/brightness/set" << QByteArray("0") << "0 2 spot_light 0";
    QTest::newRow("brightness 100") << "panel/p1/0/2/light_belt/brightness/set" << QByteArray("100")
                                    << "0 2 light_belt 100";

    QTest::newRow("bus 4") << "panel/p1/4/0/fan/set" << QByteArray("ON") << rejected;
    QTest::newRow("controller -1") << "panel/p1/0/-1/fan/set" << QByteArray("ON") << rejected;
    QTest::newRow("bus 01") << "panel/p1/01/0/fan/set" << QByteArray("ON") << rejected;
    QTest::newRow("unknown appliance") << "panel/p1/0/0/heater/set" << QByteArray("ON") << rejected;
    QTest::newRow("another panel") << "panel/p2/0/0/fan/set" << QByteArray("ON") << rejected;
    QTest::newRow("a state topic") << "panel/p1/0/0/fan/state" << QByteArray("ON") << rejected;
    QTest::newRow("one level more") << "panel/p1/0/0/fan/set/x" << QByteArray("ON") << rejected;
    QTest::newRow("lower-case on") << "panel/p1/0/0/fan/set" << QByteArray("on") << rejected;
    QTest::newRow("empty payload") << "panel/p1/0/0/fan/set" << QByteArray() << rejected;
    QTest::newRow("curtain takes no ON") << "panel/p1/0/0/curtain/set" << QByteArray("ON") << rejected;
    QTest::newRow("fan takes no OPEN") << "panel/p1/0/0/fan/set" << QByteArray("OPEN") << rejected;
    QTest::newRow("clear alarms takes no ON") << "panel/p1/0/0/clear_alarms/set" << QByteArray("ON") << rejected;
    QTest::newRow("brightness 101") << "panel/p1/0/0/main_light/brightness/set" << QByteArray("101") << rejected;
    QTest::newRow("brightness -1") << "panel/p1/0/0/main_light/brightness/set" << QByteArray("-1") << rejected;
    QTest::newRow("brightness with a space")
        << "panel/p1/0/0/main_light/brightness/set" << QByteArray(" 5") << rejected;
    QTest::newRow("brightness ON") << "panel/p1/0/0/main_light/brightness/set" << QByteArray("ON") << rejected;
    QTest::newRow("fan has no brightness") << "panel/p1/0/0/fan/brightness/set" << QByteArray("50") << rejected;
    QTest::newRow("17-byte payload") << "panel/p1/0/0/fan/set" << QByteArray("ON").leftJustified(17, ' ') << rejected;
}

void TestRemoteTopics::parseCommand()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(QString, command);

    QCOMPARE(described(RemoteTopics(QStringLiteral("p1")).parseCommand(topic, payload)), command);
}

// Stable per board, twelve hex digits, and not the machine id itself.
void TestRemoteTopics::panelIdIsKeyedFromMachineId()
{
    const QByteArray machineId("0123456789abcdef0123456789abcdef\n");
    const QString id = RemoteSettings::idFromMachineId(machineId);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{12}$")).match(id).hasMatch());
    QCOMPARE(RemoteSettings::idFromMachineId(machineId.trimmed()), id);
    QVERIFY(!machineId.startsWith(id.toLatin1()));
    QVERIFY(RemoteSettings::idFromMachineId("fedcba9876543210fedcba9876543210") != id);
}

QTEST_APPLESS_MAIN(TestRemoteTopics)
#include "tst_remotetopics.moc"
