#include "panelsession.h"

#include <QtTest>

namespace {

constexpr int Channel = 0;
constexpr int Controller = 2; // the kitchen of the default building: smoke alarm, fan off

const QByteArray fanOn = QByteArray::fromHex("AA 02 07 01 00 00 FF");
const QByteArray clearAlarm = QByteArray::fromHex("AA 02 00 00 00 00 FF");

constexpr int FanByte = 26;
constexpr int AlarmByte = 2;

// What the bus carried after the panel sent a frame: the controller's full replies, and the poll
// requests that followed the first of them.
struct Aftermath
{
    QVector<QByteArray> replies;
    int pollsAfterFirstReply = 0;
};

bool isFullReplyOfController(const QByteArray &bytes)
{
    return bytes.size() == 31 && quint8(bytes.at(0)) == 0xCC && bytes.at(1) == Controller;
}

Aftermath after(const PanelSession &session, const QByteArray &frame)
{
    Aftermath seen;
    bool sent = false;
    for (const SimLogLine &line : session.simulatorLog()) {
        if (line.channel != Channel)
            continue;
        if (line.kind == QLatin1String("rx") && line.bytes == frame)
            sent = true;
        else if (sent && line.kind == QLatin1String("tx") && isFullReplyOfController(line.bytes))
            seen.replies.append(line.bytes);
        else if (!seen.replies.isEmpty() && line.kind == QLatin1String("rx") && line.bytes.startsWith("\xAA\x43\x58"))
            ++seen.pollsAfterFirstReply;
    }
    return seen;
}

bool received(const PanelSession &session, const QByteArray &frame)
{
    return session.framesReceived(Channel).contains(frame);
}

} // namespace

// Touches on the real dashboard reach the simulated controller, and its next reply reports them.
class TestE2eCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fanSwitchTurnsTheFanOn();
    void clearButtonClearsTheAlarm();

private:
    PanelSession session;
};

void TestE2eCommands::initTestCase()
{
    QString error;
    QVERIFY2(session.start(QStringLiteral(DEFAULT_SCENARIO), &error), qPrintable(error));
    QVERIFY(session.click(960, 540));
    const QByteArray home = session.waitForScreenOtherThan({});
    QVERIFY(!home.isEmpty());
    QVERIFY(session.click(1142, 537));
    const QByteArray busControl = session.waitForScreenOtherThan(home);
    QVERIFY(!busControl.isEmpty());
    // Tiles stand 280 px apart, the first centred at (352, 250).
    QVERIFY(session.click(352 + 280 * Controller, 250));
    QVERIFY(!session.waitForScreenOtherThan(busControl).isEmpty());
}

void TestE2eCommands::fanSwitchTurnsTheFanOn()
{
    QVERIFY(session.click(1750, 805)); // the fan tile's switch
    QTRY_VERIFY_WITH_TIMEOUT(received(session, fanOn), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!after(session, fanOn).replies.isEmpty(), 10000);
    QCOMPARE(int(after(session, fanOn).replies.first().at(FanByte)), 1);
}

void TestE2eCommands::clearButtonClearsTheAlarm()
{
    QVERIFY(!after(session, fanOn).replies.isEmpty());
    QCOMPARE(quint8(after(session, fanOn).replies.first().at(AlarmByte)), quint8(0x80));
    // The clear button shows once the panel has read that reply, 300 ms after its poll: the next
    // poll comes later. Touch once only: each touch on the dashboard leaves a ripple over it.
    QTRY_VERIFY_WITH_TIMEOUT(after(session, fanOn).pollsAfterFirstReply > 0, 5000);
    QVERIFY(session.click(480, 220)); // "清除警报"
    QTRY_VERIFY_WITH_TIMEOUT(received(session, clearAlarm), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!after(session, clearAlarm).replies.isEmpty(), 10000);
    QCOMPARE(int(after(session, clearAlarm).replies.first().at(AlarmByte)), 0);
}

QTEST_GUILESS_MAIN(TestE2eCommands)
#include "tst_e2e_commands.moc"
