#include "panelsession.h"

#include <QImage>
#include <QTemporaryDir>
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
    void everyBusPolledAndAlarmsShownWithoutATouch();
    void pressInTheMiddleShowsHome();
    void terminateClosesThePortsAndExitsZero();

private:
    bool startPictureShowsAnAlarm();

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

// After a power cut or a restart the panel is back on its start picture, and watches the house from
// there: every bus is polled, and the kitchen's smoke (bus 1, controller 2) shows, without a touch.
void TestE2eStartup::everyBusPolledAndAlarmsShownWithoutATouch()
{
    for (int channel = 0; channel < 4; ++channel)
        QVERIFY(PanelSession::waitFor([this, channel] { return session.pollRequestsReceived(channel) >= 2; }, 5000));
    QVERIFY(PanelSession::waitFor([this] { return startPictureShowsAnAlarm(); }, 10000));
    QVERIFY(!session.debugLineSeen(QStringLiteral("new Home")));
}

// Mostly the alarm board's red where it lies on the start picture.
bool TestE2eStartup::startPictureShowsAnAlarm()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("start.png"));
    QImage picture;
    if (!session.screenshot(path) || !picture.load(path))
        return false;
    const QRect board(560, 820, 800, 230);
    int red = 0;
    for (int y = board.top(); y <= board.bottom(); y += 4) {
        for (int x = board.left(); x <= board.right(); x += 4) {
            const QColor pixel = picture.pixelColor(x, y);
            red += pixel.red() > 120 && pixel.green() < 40 && pixel.blue() < 40;
        }
    }
    return red > (board.width() / 4) * (board.height() / 4) / 2;
}

void TestE2eStartup::pressInTheMiddleShowsHome()
{
    QVERIFY(!session.debugLineSeen(QStringLiteral("new Home")));
    QVERIFY(session.click(960, 540));
    QTRY_VERIFY_WITH_TIMEOUT(session.debugLineSeen(QStringLiteral("~~enter Home~~")), 5000);
    QVERIFY(session.debugLineSeen(QStringLiteral("new Home")));
    QTRY_VERIFY_WITH_TIMEOUT(session.windowVisible(QStringLiteral("Form")), 5000);
}


void TestE2eStartup::terminateClosesThePortsAndExitsZero()
{
    const qint64 pid = session.panelPid();
    QVERIFY(pid > 0);
    // The panel's private lock folder, held open so that it can still be read once the panel and its
    // namespace are gone: Qt Serial Port removes a port's lock file when the port closes, and only then.
    const int lockDir = ::open(qPrintable(QStringLiteral("/proc/%1/root/run/lock").arg(pid)),
                               O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY2(lockDir >= 0, strerror(errno));
    const auto lockFiles = [lockDir] {
        return QDir(QStringLiteral("/proc/self/fd/%1").arg(lockDir))
            .entryList({QStringLiteral("LCK..*")}, QDir::Files | QDir::System);
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
