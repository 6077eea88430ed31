#include "panelsession.h"

#include <QtTest>

// The real panel on simulated buses, from its start picture to Home.
class TestE2eStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void allFourPortsOpenWithoutWarning();
    void pressInTheMiddleShowsHome();
    void noPollBeforeTheBusControlScreen();

private:
    PanelSession session;
};

void TestE2eStartup::initTestCase()
{
    QString error;
    QVERIFY2(session.start(QStringLiteral(DEFAULT_SCENARIO), &error), qPrintable(error));
}

void TestE2eStartup::allFourPortsOpenWithoutWarning()
{
    QVERIFY(!session.windowExists(QStringLiteral("error")));
    QVERIFY2(!session.debugOutput().contains(QStringLiteral("没有可用串口")), qPrintable(session.debugOutput()));
    QVERIFY(session.debugLineSeen(QStringLiteral("new MainWindow")));
}

void TestE2eStartup::pressInTheMiddleShowsHome()
{
    QVERIFY(!session.debugLineSeen(QStringLiteral("new Home")));
    QVERIFY(session.click(960, 540));
    QTRY_VERIFY_WITH_TIMEOUT(session.debugLineSeen(QStringLiteral("~~enter Home~~")), 5000);
    QVERIFY(session.debugLineSeen(QStringLiteral("new Home")));
    QTRY_VERIFY_WITH_TIMEOUT(session.windowVisible(QStringLiteral("Form")), 5000);
}

void TestE2eStartup::noPollBeforeTheBusControlScreen()
{
    // The panel polls once a second once it polls at all: three quiet seconds say it has not begun.
    QVERIFY(PanelSession::holdsFor([this] { return session.pollRequestsReceived() == 0; }, 3000));
    QVERIFY(!session.windowExists(QStringLiteral("error")));
}

QTEST_GUILESS_MAIN(TestE2eStartup)
#include "tst_e2e_startup.moc"
