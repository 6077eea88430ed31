#include "panelsession.h"

#include <QtTest>

namespace {

// The addresses of the poll requests a bus received, in order, with their times.
struct Polls
{
    QVector<int> addresses;
    QVector<double> seconds;
};

Polls pollsOn(const PanelSession &session, int channel)
{
    Polls polls;
    for (const SimLogLine &line : session.simulatorLog()) {
        if (line.kind == QLatin1String("rx") && line.channel == channel && line.bytes.size() == 5
            && line.bytes.startsWith("\xAA\x43\x58")) {
            polls.addresses << quint8(line.bytes.at(3));
            polls.seconds << line.seconds;
        }
    }
    return polls;
}

} // namespace

// The real panel polls the simulated buses once the bus control screen is open.
class TestE2eBusPolling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyBusIsPolledFromController0();
    void answeringControllersArePolledInTurnOnceASecond();
    void silentControllerIsPolledThreeTimesThenPassed();

private:
    PanelSession session;
};

void TestE2eBusPolling::initTestCase()
{
    QString error;
    QVERIFY2(session.start(QStringLiteral(DEFAULT_SCENARIO), &error), qPrintable(error));
    QVERIFY(session.click(960, 540));
    const QByteArray home = session.waitForScreenOtherThan({});
    QVERIFY(!home.isEmpty());
    QVERIFY(session.click(1142, 537)); // Home's yellow button
    QVERIFY(!session.waitForScreenOtherThan(home).isEmpty());
}

void TestE2eBusPolling::everyBusIsPolledFromController0()
{
    for (int channel = 0; channel < 4; ++channel) {
        QTRY_VERIFY_WITH_TIMEOUT(!pollsOn(session, channel).addresses.isEmpty(), 5000);
        QCOMPARE(pollsOn(session, channel).addresses.first(), 0);
    }
}

void TestE2eBusPolling::answeringControllersArePolledInTurnOnceASecond()
{
    // Bus 0: all four controllers give full replies, so the turn moves on after every poll.
    QTRY_VERIFY_WITH_TIMEOUT(pollsOn(session, 0).addresses.size() >= 5, 10000);
    const Polls polls = pollsOn(session, 0);
    QCOMPARE(polls.addresses.mid(0, 5), (QVector<int>{0, 1, 2, 3, 0}));
    for (int i = 1; i < polls.seconds.size(); ++i) {
        const double gap = polls.seconds.at(i) - polls.seconds.at(i - 1);
        QVERIFY2(gap > 0.8 && gap < 1.3, qPrintable(QStringLiteral("gap %1 s").arg(gap)));
    }
}

void TestE2eBusPolling::silentControllerIsPolledThreeTimesThenPassed()
{
    // Bus 1: controller 0 answers, controller 1 is silent.
    QTRY_VERIFY_WITH_TIMEOUT(pollsOn(session, 1).addresses.size() >= 5, 10000);
    QCOMPARE(pollsOn(session, 1).addresses.mid(0, 5), (QVector<int>{0, 1, 1, 1, 2}));
}

QTEST_GUILESS_MAIN(TestE2eBusPolling)
#include "tst_e2e_buspolling.moc"
