#include "panelsession.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// The real panel on simulated buses, from its start picture to Home.
class TestE2eStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void allFourPortsOpenWithoutWarning();
    void pressInTheMiddleShowsHome();
    void noPollBeforeTheBusControlScreen();
    void terminateClosesThePortsAndExitsZero();

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

void TestE2eStartup::terminateClosesThePortsAndExitsZero()
{
    const qint64 pid = session.panelPid();
    QVERIFY(pid > 0);
    // The panel's private lock folder, held open so that it can still be read once the panel and its
    // namespace are gone: Qt Serial Port removes a port's lock file when the port closes, and only then.
    const int lockDir = ::open(qPrintable(QStringLiteral("/proc/%1/root/run/lock").arg(pid)), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY2(lockDir >= 0, strerror(errno));
    const auto lockFiles = [lockDir] {
        return QDir(QStringLiteral("/proc/self/fd/%1").arg(lockDir)).entryList({QStringLiteral("LCK..*")}, QDir::Files | QDir::System);
    };
    QCOMPARE(lockFiles().size(), 4);

    QCOMPARE(::kill(pid_t(pid), SIGTERM), 0);
    const int status = session.waitForExit();
    const QStringList left = lockFiles();
    ::close(lockDir);
    QCOMPARE(status, 0);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
}

QTEST_GUILESS_MAIN(TestE2eStartup)
#include "tst_e2e_startup.moc"
