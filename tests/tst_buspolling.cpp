#include "app/mainwindow.h"
#include "bus/devicetables.h"
#include "bus/serialports.h"
#include "screens/appliances/aircond.h"
#include "screens/appliances/light1.h"
#include "screens/appliances/tv.h"
#include "screens/appliances/wind.h"
#include "screens/buscontrol.h"
#include "screens/devices.h"
#include "screens/devitem.h"
#include "screens/home.h"
#include "screens/shared/alarmboard.h"
#include "screens/shared/clockcaption.h"
#include "wire/wire.h"

#include "messagelog.h"
#include "modalboxes.h"
#include "paneltest.h"
#include "pseudoterminal.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QSlider>
#include <QTemporaryDir>
#include "replies.h"

#include <QtTest>

#include <memory>
#include <sys/resource.h>

// What ends the wait of frames written after a poll.
enum class LineFreedBy { Reply, Read, GuardTime, Closing };
Q_DECLARE_METATYPE(LineFreedBy)

// The polling of the four buses, stepped tick by tick through the timer slots, against
// pseudo-terminals that stand in for the controllers.
class TestBusPolling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstTickPollsControllerZeroOnEveryBus();
    void layoutAfterConstruction();
    void tileStates_data();
    void tileStates();
    void clockCaption_data();
    void clockCaption();
    void shortReplyMovesTheTurnOn_data();
    void shortReplyMovesTheTurnOn();
    void fullReplyIsStoredFieldByField();
    void brokenFullReplyMeansDisconnected_data();
    void brokenFullReplyMeansDisconnected();
    void replyOfAnotherControllerIsIgnored();
    void silentControllerIsDisconnectedAfterThreePolls();
    void noiseCountsAsSilence_data();
    void noiseCountsAsSilence();
    void lateReplyOfAnEarlierPollIsDiscarded();
    void turnWrapsFromThreeToZero();
    void tileTouchOpensTheDashboardOfItsController();
    void returnButtonHidesTheScreenAndPollingGoesOn();
    void babblingLineIsCapped();
    void framesWaitForTheReplyOfAPoll_data();
    void framesWaitForTheReplyOfAPoll();
    void heldFramesCountTowardsTheBacklog();
    void loneReadErrorKeepsThePortOpen();
    void hungUpPortIsClosedWithoutSpinningAndComesBack();
    void frameLeftInThePortsBufferByAHangUpIsReportedDropped();
    void pollsOnceASecondInRealTime();
    void replyOfTheShownControllerRefreshesTheDashboard();
    void heldSliderStaysUnderTheFinger_data();
    void heldSliderStaysUnderTheFinger();
    void alarmsStayInSightUntilReportedClear();
    void alarmInAnotherRoomShowsOnTheDashboard();
    void controllerNotAnsweringGetsNoCommand();
    void heldSwitchDroppedWithItsPortIsTakenBack();

private:
    DevItem *tile(int channel, int index) const;
    QString caption(int channel, int index) const { return tile(channel, index)->getLabelState()->text(); }
    void setTurn(int channel, int index);
    QByteArray tick(int channel);
    bool answer(int channel, const QByteArray &bytes);
    void pollAndAnswer(int channel, int index, const QByteArray &reply);
    Devices *showDashboard(int index, int channel);

    std::unique_ptr<PseudoTerminal> bus[ChannelCount];
    QTemporaryDir linkDir;
    QString channel3Link;
    BusControl *screen = nullptr;
    QTimer *pollTimer = nullptr;
    QTimer *readTimer = nullptr;
};

namespace {
int *const pollIndices[ChannelCount] = {&searchIndex, &searchIndex2, &searchIndex3, &searchIndex4};
int *const unanswered[ChannelCount] = {&retry1, &retry2, &retry3, &retry4};

QSerialPort *port(int channel)
{
    return MainWindow::getCom(channel);
}

using Replies::fullReply;
using Replies::hex;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

void TestBusPolling::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    QVERIFY(linkDir.isValid());
    for (int channel = 0; channel < ChannelCount; ++channel) {
        bus[channel] = std::make_unique<PseudoTerminal>();
        QVERIFY(bus[channel]->isOpen());
        serialDeviceFiles[channel] = bus[channel]->slavePath();
    }
    // Channel 3 goes through a link, so that a test can bring its line back under the same name.
    channel3Link = linkDir.filePath(QStringLiteral("ttyS7"));
    QVERIFY(QFile::link(bus[3]->slavePath(), channel3Link));
    serialDeviceFiles[3] = channel3Link;

    ModalBoxCloser closer;
    MainWindow::getInstance();
    QVERIFY(closer.seen().isEmpty());

    screen = BusControl::getInstance();
    pollTimer = screen->findChild<QTimer *>(QStringLiteral("pollTimer"));
    readTimer = screen->findChild<QTimer *>(QStringLiteral("readTimer"));
    QVERIFY(pollTimer && readTimer);
    QVERIFY(pollTimer->isActive());
    QCOMPARE(pollTimer->interval(), 1000);
    // The tests step the polling themselves.
    pollTimer->stop();
}

void TestBusPolling::init()
{
    resetDeviceTables();
    MessageLog::clear();
    for (auto &terminal : bus)
        terminal->readFor(10);
}

DevItem *TestBusPolling::tile(int channel, int index) const
{
    auto *panel = screen->findChild<QFrame *>(QStringLiteral("frame%1").arg(channel + 1));
    return panel->findChildren<DevItem *>(QString(), Qt::FindDirectChildrenOnly).value(index);
}

// The next tick polls `index` on `channel`, as after an accepted reply from the one before it.
void TestBusPolling::setTurn(int channel, int index)
{
    *pollIndices[channel] = (index + DevicesPerChannel - 1) % DevicesPerChannel;
    *unanswered[channel] = 0;
}

// One poll tick; returns the poll request that reached `channel`'s wire.
QByteArray TestBusPolling::tick(int channel)
{
    screen->sendCommand();
    readTimer->stop();
    QByteArray request;
    for (int other = 0; other < ChannelCount; ++other) {
        const QByteArray bytes = bus[other]->read(Wire::PollRequestSize, 1000);
        if (other == channel)
            request = bytes;
    }
    return request;
}

// Puts bytes on the wire and waits until the panel's port holds them.
bool TestBusPolling::answer(int channel, const QByteArray &bytes)
{
    if (!bus[channel]->write(bytes))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (port(channel)->bytesAvailable() < bytes.size() && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return port(channel)->bytesAvailable() >= bytes.size();
}

// The cycle as at start-up, whatever ran before: every bus's first poll goes to controller 0 even
// though the turn would have moved on.
void TestBusPolling::firstTickPollsControllerZeroOnEveryBus()
{
    for (int channel = 0; channel < ChannelCount; ++channel)
        setTurn(channel, 2);
    screen->restartPollCycle();
    screen->sendCommand();
    QVERIFY(readTimer->isActive());
    QCOMPARE(readTimer->interval(), 300);
    readTimer->stop();

    for (int channel = 0; channel < ChannelCount; ++channel) {
        QCOMPARE(bus[channel]->read(Wire::PollRequestSize).toHex(' '), hex("AA435800FF").toHex(' '));
        QCOMPARE(caption(channel, 0), QStringLiteral("请求中.\n."));
        QCOMPARE(*pollIndices[channel], 0);
        QCOMPARE(*unanswered[channel], 1);
    }
    // A controller not polled yet says nothing, least of all an alarm.
    QCOMPARE(caption(0, 1), QString());
    QVERIFY(!tile(0, 1)->getLabelState()->styleSheet().contains(QLatin1String("rgb(218, 7, 7)")));
    QVERIFY(!tile(0, 1)->getLabelState()->styleSheet().contains(QLatin1String("rgb(239, 41, 41)")));
}

void TestBusPolling::layoutAfterConstruction()
{
    for (int channel = 0; channel < ChannelCount; ++channel) {
        auto *panel = screen->findChild<QFrame *>(QStringLiteral("frame%1").arg(channel + 1));
        QCOMPARE(panel->isVisibleTo(screen), channel == 0);
        // Four wired buses: each is reachable through its button.
        auto *button = screen->findChild<QPushButton *>(QStringLiteral("btn_tong%1").arg(channel + 1));
        QVERIFY(button->isVisibleTo(screen));
        QVERIFY(button->isEnabled());
        for (int index = 0; index < DevicesPerChannel; ++index) {
            DevItem *item = tile(channel, index);
            QVERIFY(item->getOpen());
            QCOMPARE(item->geometry(), QRect(70 + 280 * index, 30, 230, 180));
            QCOMPARE(item->getLabelIdx()->text(), QStringLiteral("Control - %1").arg(index));
        }
    }
}

void TestBusPolling::tileStates_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("tongdao");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<int>("retry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stateQss");
    QTest::addColumn<QString>("idxQss");

    const QString amber = QStringLiteral("QLabel{color: rgb(235, 197, 84);}");
    const QString red = QStringLiteral("QLabel{color: rgb(218, 7, 7);}");
    const QString orange = QStringLiteral("QLabel{color: rgb(228, 134, 7);}");
    QTest::newRow("normal") << 1 << 0 << 0 << 0 << 0 << QStringLiteral("正常")
                            << QStringLiteral("QLabel{color: rgb(7, 119, 7);}")
                            << QStringLiteral("QLabel{color: rgb(0, 0, 0);}");
    QTest::newRow("requesting") << 2 << 3 << 1 << 0 << 0 << QStringLiteral("请求中.\n.") << amber << amber;
    QTest::newRow("requesting, two earlier polls")
        << 2 << 3 << 1 << 0 << 2 << QStringLiteral("请求中.\n.......") << amber << amber;
    QTest::newRow("smoke and gas") << 1 << 0 << 2 << 0xC0 << 0 << QStringLiteral("警报：\n\n烟\n可燃气体\n") << red
                                   << red;
    QTest::newRow("every captioned alarm")
        << 3 << 1 << 2 << 0xFF << 0 << QStringLiteral("警报：\n\n烟\n可燃气体\n二氧化碳\n温度\n漏电\n") << red << red;
    QTest::newRow("alarm without caption") << 1 << 0 << 2 << 0x04 << 0 << QStringLiteral("警报：\n\n") << red << red;
    QTest::newRow("disconnected") << 0 << 2 << 3 << 0 << 0 << QStringLiteral("设备断线") << orange << orange;
}

void TestBusPolling::tileStates()
{
    QFETCH(int, index);
    QFETCH(int, tongdao);
    QFETCH(int, state);
    QFETCH(int, alarm);
    QFETCH(int, retry);
    QFETCH(QString, text);
    QFETCH(QString, stateQss);
    QFETCH(QString, idxQss);

    screen->setItemState(index, tongdao, state, static_cast<unsigned char>(alarm), retry);

    DevItem *item = tile(tongdao, index);
    QCOMPARE(item->getLabelState()->text(), text);
    QCOMPARE(item->getLabelState()->styleSheet(), stateQss);
    QCOMPARE(item->getLabelIdx()->styleSheet(), idxQss);

    // Out-of-range addresses are ignored, and touch no tile.
    const QString before = caption(0, 0);
    for (const QPoint &address : {QPoint(0, 4), QPoint(4, 0), QPoint(-1, 0), QPoint(0, -1), QPoint(7, 9)})
        screen->setItemState(address.x(), address.y(), state, static_cast<unsigned char>(alarm), retry);
    QCOMPARE(caption(0, 0), before);
}

void TestBusPolling::clockCaption_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("text");
    QTest::newRow("morning") << QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3))
                             << QStringLiteral("2026年12月7日 09:05:03");
    QTest::newRow("midnight") << QDateTime(QDate(2027, 1, 10), QTime(0, 0, 0))
                              << QStringLiteral("2027年1月10日 00:00:00");
    QTest::newRow("evening") << QDateTime(QDate(2015, 1, 1), QTime(23, 59, 59))
                             << QStringLiteral("2015年1月1日 23:59:59");
}

void TestBusPolling::clockCaption()
{
    QFETCH(QDateTime, moment);
    QFETCH(QString, text);
    QCOMPARE(::clockCaption(moment), text);

    // Hidden, the poll leaves the clock alone; shown, it is now.
    auto *label = screen->findChild<QLabel *>(QStringLiteral("label_datetime"));
    label->clear();
    screen->sendCommand();
    readTimer->stop();
    QVERIFY(label->text().isEmpty());
    screen->show();
    const QDate today = QDate::currentDate();
    QVERIFY(label->text().startsWith(QStringLiteral("%1年%2月").arg(today.year()).arg(today.month())));
    screen->hide();
}

void TestBusPolling::shortReplyMovesTheTurnOn_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("text");
    QTest::newRow("no alarm") << hex("BB0200FF") << QStringLiteral("正常");
    QTest::newRow("smoke") << hex("BB0280FF") << QStringLiteral("警报：\n\n烟\n");
}

void TestBusPolling::shortReplyMovesTheTurnOn()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, text);

    smallDevBaojingStates[1][2] = 0x33;
    smallDevInfos[1][2].tvVol = 42;
    setTurn(1, 2);
    QCOMPARE(tick(1), hex("AA435802FF"));
    QVERIFY(answer(1, reply));
    screen->readMyCom();

    QCOMPARE(caption(1, 2), text);
    QCOMPARE(retry2, 0);
    QCOMPARE(smallDevInfos[1][2].tvVol, 42);
    // A short reply changes neither the record nor the stored alarm flags.
    QCOMPARE(int(smallDevBaojingStates[1][2]), 0x33);
    QCOMPARE(tick(1), hex("AA435803FF"));
}

void TestBusPolling::fullReplyIsStoredFieldByField()
{
    QByteArray reply = fullReply(1, 0x40, 0);
    for (int position = 3; position <= 29; ++position)
        reply[position] = char(position);
    reply[30] = char(Wire::fullReplyChecksum(reply));

    setTurn(2, 1);
    QCOMPARE(tick(2), hex("AA435801FF"));
    QVERIFY(answer(2, reply));
    screen->readMyCom();

    const SmallDevInfo &record = smallDevInfos[2][1];
    QCOMPARE(int(smallDevBaojingStates[2][1]), 0x40);
    QCOMPARE(caption(2, 1), QStringLiteral("警报：\n\n可燃气体\n"));
    QCOMPARE(record.lightbeltOn, 3);
    QCOMPARE(record.spotBright, 8);
    QCOMPARE(record.mainOn, 11);
    QCOMPARE(record.curtainOn, 15);
    QCOMPARE(record.curtainExt, 16);
    QCOMPARE(record.tvOn, 17);
    QCOMPARE(record.tvVol, 19);
    QCOMPARE(record.airOn, 21);
    QCOMPARE(record.airNibbleHi, 22 >> 4);
    QCOMPARE(record.airNibbleLo, 22 & 0x0F);
    QCOMPARE(record.airTemp, 23);
    QCOMPARE(record.airSpeed, 24);
    QCOMPARE(record.windOn, 26);
    QCOMPARE(record.windExt[2], 29);
    QCOMPARE(retry3, 0);

    // The all-zero reply of the example zeroes the record, set temperature included.
    setTurn(2, 1);
    tick(2);
    QVERIFY(answer(2, hex("CC0100") + QByteArray(27, 0) + hex("01")));
    screen->readMyCom();
    QCOMPARE(record.airTemp, 0);
    QCOMPARE(record.lightbeltOn, 0);
    QCOMPARE(int(smallDevBaojingStates[2][1]), 0);
    QCOMPARE(caption(2, 1), QStringLiteral("正常"));
}

void TestBusPolling::brokenFullReplyMeansDisconnected_data()
{
    QTest::addColumn<QByteArray>("reply");
    QByteArray wrongSum = fullReply(1, 0x80, 9);
    wrongSum[30] = char(wrongSum[30] + 1);
    QTest::newRow("checksum off by one") << wrongSum;
    QTest::newRow("cut to 30 bytes") << fullReply(1, 0x80, 9).left(30);
}

void TestBusPolling::brokenFullReplyMeansDisconnected()
{
    QFETCH(QByteArray, reply);
    smallDevInfos[0][1].tvVol = 42;
    smallDevBaojingStates[0][1] = 0x80;
    setTurn(0, 1);
    tick(0);
    QVERIFY(answer(0, reply));
    screen->readMyCom();

    QCOMPARE(caption(0, 1), QStringLiteral("设备断线"));
    QCOMPARE(int(smallDevBaojingStates[0][1]), 0);
    QCOMPARE(smallDevInfos[0][1].tvVol, 42);
    QCOMPARE(retry1, 0);
    QCOMPARE(tick(0), hex("AA435802FF"));
}

void TestBusPolling::replyOfAnotherControllerIsIgnored()
{
    setTurn(0, 1);
    tick(0);
    QVERIFY(answer(0, fullReply(2, 0, 0x11)));
    screen->readMyCom();

    QCOMPARE(retry1, 1);
    QCOMPARE(smallDevInfos[0][2].tvVol, 0);
    QCOMPARE(tick(0), hex("AA435801FF"));
    QCOMPARE(caption(0, 1), QStringLiteral("请求中.\n...."));
}

void TestBusPolling::silentControllerIsDisconnectedAfterThreePolls()
{
    smallDevBaojingStates[3][2] = 0x08;
    setTurn(3, 2);
    for (int poll = 1; poll <= 3; ++poll) {
        QCOMPARE(tick(3), hex("AA435802FF"));
        screen->readMyCom();
        if (poll < 3) {
            QCOMPARE(retry4, poll);
            QVERIFY(caption(3, 2).startsWith(QStringLiteral("请求中")));
        }
    }
    QCOMPARE(caption(3, 2), QStringLiteral("设备断线"));
    QCOMPARE(int(smallDevBaojingStates[3][2]), 0);
    QCOMPARE(retry4, 0);
    QCOMPARE(tick(3), hex("AA435803FF"));
}

void TestBusPolling::noiseCountsAsSilence_data()
{
    QTest::addColumn<QByteArray>("noise");
    QTest::newRow("line noise") << hex("0013A7FF00");
    QTest::newRow("another controller's reply") << hex("BB0300FF");
    QTest::newRow("short reply without FF") << hex("BB010000");
    QTest::newRow("a lone start byte") << hex("CC");
}

// A controller whose polls draw only unacceptable bytes is given up like a silent one, so the
// other controllers of its bus get their turn and the caption stays bounded.
void TestBusPolling::noiseCountsAsSilence()
{
    QFETCH(QByteArray, noise);
    setTurn(1, 1);
    for (int poll = 1; poll <= 3; ++poll) {
        QCOMPARE(tick(1), hex("AA435801FF"));
        QVERIFY(answer(1, noise));
        screen->readMyCom();
    }
    QCOMPARE(caption(1, 1), QStringLiteral("设备断线"));
    QCOMPARE(retry2, 0);
    QCOMPARE(tick(1), hex("AA435802FF"));
    QVERIFY(retry2 <= 3);
}

// A slow controller's reply lands after the read; it must not pass for the next one's answer.
void TestBusPolling::lateReplyOfAnEarlierPollIsDiscarded()
{
    setTurn(0, 3);
    QVERIFY(answer(0, hex("BB0300FF")));
    QCOMPARE(tick(0), hex("AA435803FF"));
    screen->readMyCom();

    QCOMPARE(retry1, 1);
    QVERIFY(caption(0, 3).startsWith(QStringLiteral("请求中")));
}

void TestBusPolling::framesWaitForTheReplyOfAPoll_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<LineFreedBy>("freedBy");

    QTest::newRow("full reply in") << fullReply(2, 0, 0x11) << LineFreedBy::Reply;
    QTest::newRow("short reply in") << hex("BB0200FF") << LineFreedBy::Reply;
    QTest::newRow("full reply with a bad checksum in")
        << fullReply(2, 0, 0x11).replace(30, 1, "x") << LineFreedBy::Reply;
    QTest::newRow("half a full reply, then the read") << fullReply(2, 0, 0x11).left(15) << LineFreedBy::Read;
    QTest::newRow("another controller's reply, then the read") << hex("BB0300FF") << LineFreedBy::Read;
    QTest::newRow("silence and no read") << QByteArray() << LineFreedBy::GuardTime;
    QTest::newRow("port closed") << QByteArray() << LineFreedBy::Closing;
}

// A frame written between a poll and the end of its reply waits, and leaves right after it, in the
// order written; one held for a port that closes is dropped.
void TestBusPolling::framesWaitForTheReplyOfAPoll()
{
    QFETCH(QByteArray, reply);
    QFETCH(LineFreedBy, freedBy);
    setTurn(1, 2);
    QElapsedTimer sincePoll;
    sincePoll.start();
    QCOMPARE(tick(1), hex("AA435802FF"));
    QByteArray commands;
    for (int code : {Wire::Fan, Wire::Curtain, Wire::MainLight}) {
        MainWindow::getInstance()->sendLightOpen(1, 2, code, true);
        commands += hex("AA02") + char(code) + hex("01 00 00 FF");
    }
    QVERIFY(bus[1]->readFor(50).isEmpty());
    if (!reply.isEmpty())
        QVERIFY(answer(1, reply));
    if (freedBy != LineFreedBy::Reply)
        QVERIFY(bus[1]->readFor(50).isEmpty());

    switch (freedBy) {
    case LineFreedBy::Read:
        screen->readMyCom();
        break;
    case LineFreedBy::Closing:
        port(1)->close();
        QVERIFY(port(1)->open(QIODevice::ReadWrite));
        QVERIFY(bus[1]->readFor(ReplyGuardMs + 100).isEmpty());
        return;
    case LineFreedBy::Reply:
    case LineFreedBy::GuardTime:
        break;
    }
    QCOMPARE(bus[1]->read(commands.size()).toHex(' '), commands.toHex(' '));
    // Freed by the reply itself, not by the guard time that would free it anyway.
    QVERIFY2((freedBy == LineFreedBy::GuardTime) == (sincePoll.elapsed() >= ReplyGuardMs),
             qPrintable(QString::number(sincePoll.elapsed())));
    screen->readMyCom();
}

// Frames held for a reply fill the port's 4 KiB backlog as if they were on it.
void TestBusPolling::heldFramesCountTowardsTheBacklog()
{
    setTurn(1, 2);
    QCOMPARE(tick(1), hex("AA435802FF"));
    QCOMPARE(port(1)->bytesToWrite(), qint64(0));
    const QByteArray frame = hex("AA02070100 00FF");
    int held = 0;
    while (writeFrame(port(1), frame) && held <= WriteBacklogLimit)
        ++held;
    QCOMPARE(held, int(WriteBacklogLimit / frame.size()));
    QCOMPARE(port(1)->bytesToWrite(), qint64(0));

    screen->readMyCom();
    QCOMPARE(bus[1]->read(held * frame.size()), frame.repeated(held));
    QVERIFY(writeFrame(port(1), frame));
    QCOMPARE(bus[1]->read(frame.size()), frame);
}

void TestBusPolling::turnWrapsFromThreeToZero()
{
    setTurn(2, 3);
    QCOMPARE(tick(2), hex("AA435803FF"));
    QVERIFY(answer(2, hex("BB0300FF")));
    screen->readMyCom();
    QCOMPARE(tick(2), hex("AA435800FF"));
}

void TestBusPolling::tileTouchOpensTheDashboardOfItsController()
{
    screen->show();
    auto *picture = tile(0, 2)->findChild<QPushButton *>(QStringLiteral("btn_img"));
    QTest::mouseClick(picture, Qt::LeftButton);

    QVERIFY(Devices::ifInstance());
    QCOMPARE(Devices::getIndex(), 2);
    QCOMPARE(Devices::getTongdao(), 0);
    QVERIFY(Devices::getInstance(-1, -1, false)->isVisible());
    Devices::getInstance(-1, -1, false)->hide();
}

void TestBusPolling::returnButtonHidesTheScreenAndPollingGoesOn()
{
    screen->show();
    QTest::mouseClick(screen->findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QVERIFY(!screen->isVisible());

    setTurn(1, 0);
    QCOMPARE(tick(1), hex("AA435800FF"));
    QVERIFY(answer(1, hex("BB0000FF")));
    screen->readMyCom();
    QCOMPARE(caption(1, 0), QStringLiteral("正常"));
}

void TestBusPolling::babblingLineIsCapped()
{
    QCOMPARE(port(1)->readBufferSize(), 4096);
    const QByteArray babble(1024, char(0x55));
    for (int burst = 0; burst < 64; ++burst) {
        bus[1]->write(babble);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QTest::qWait(50);
    QVERIFY(port(1)->bytesAvailable() <= 4096);
    setTurn(1, 2);
    tick(1);
    screen->readMyCom();
    QCOMPARE(retry2, 1);
}

// A hung-up line reports read errors back to back; a live one may report a lone one, which must not
// cost the bus its port.
void TestBusPolling::loneReadErrorKeepsThePortOpen()
{
    emit port(2)->errorOccurred(QSerialPort::ReadError);
    QTest::qWait(150);
    emit port(2)->errorOccurred(QSerialPort::ReadError);
    QVERIFY(port(2)->isOpen());

    emit port(2)->errorOccurred(QSerialPort::ReadError);
    emit port(2)->errorOccurred(QSerialPort::ReadError);
    QVERIFY(!port(2)->isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(port(2)->isOpen(), 2 * PortReopenIntervalMs);
    setTurn(2, 0);
    QCOMPARE(tick(2), hex("AA435800FF"));
}

void TestBusPolling::hungUpPortIsClosedWithoutSpinningAndComesBack()
{
    QVERIFY(port(3)->isOpen());
    // The device goes away with its line, as an unplugged adapter does; a freed pseudo-terminal
    // number may be handed to another process meanwhile.
    bus[3]->closeMaster();
    QVERIFY(QFile::remove(channel3Link));
    QTRY_VERIFY(!port(3)->isOpen());
    QVERIFY(!MessageLog::matching(QStringLiteral("bus port")).isEmpty());

    const double before = cpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(cpuSeconds() - before < 0.3, "the event loop spins on a dead port");

    // Its controllers go disconnected as on a missing port, and nothing is written to it.
    setTurn(3, 1);
    for (int poll = 0; poll < 3; ++poll) {
        tick(3);
        screen->readMyCom();
    }
    QCOMPARE(caption(3, 1), QStringLiteral("设备断线"));
    QVERIFY(MessageLog::matching(QStringLiteral("QIODevice::write")).isEmpty());

    // The line comes back under the same name.
    bus[3] = std::make_unique<PseudoTerminal>();
    QVERIFY(QFile::link(bus[3]->slavePath(), channel3Link));
    QTRY_VERIFY_WITH_TIMEOUT(port(3)->isOpen(), 2 * PortReopenIntervalMs);
    setTurn(3, 2);
    QCOMPARE(tick(3), hex("AA435802FF"));
}

// A frame still in the port's buffer when a hang-up closes the port never reaches a line: its sender
// hears so, as for a held one, rather than taking it as written.
void TestBusPolling::frameLeftInThePortsBufferByAHangUpIsReportedDropped()
{
    qRegisterMetaType<QSerialPort *>();
    QSignalSpy dropped(HeldFrames::instance(), &HeldFrames::dropped);
    setTurn(3, 1);
    QCOMPARE(tick(3), hex("AA435801FF"));
    const QByteArray frame = hex("AA01040100 00FF");
    QCOMPARE(sendFrame(port(3), frame), FrameFate::Held);
    bus[3]->closeMaster();
    QVERIFY(QFile::remove(channel3Link));
    // The read frees the line: the frame goes to the port, which finds the line gone.
    screen->readMyCom();
    QTRY_VERIFY(!port(3)->isOpen());
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped.at(0).at(0).value<QSerialPort *>(), port(3));
    QCOMPARE(dropped.at(0).at(1).value<QVector<QByteArray>>(), QVector<QByteArray>{frame});

    bus[3] = std::make_unique<PseudoTerminal>();
    QVERIFY(QFile::link(bus[3]->slavePath(), channel3Link));
    QTRY_VERIFY_WITH_TIMEOUT(port(3)->isOpen(), 2 * PortReopenIntervalMs);
}

// The one test on the real timers: the first request goes out about a second after the timer
// starts, and the read 300 ms later takes the reply.
void TestBusPolling::pollsOnceASecondInRealTime()
{
    setTurn(0, 2);
    QElapsedTimer clock;
    clock.start();
    pollTimer->start();
    const QByteArray request = bus[0]->read(Wire::PollRequestSize, 4000);
    const qint64 firstPollMs = clock.elapsed();
    QCOMPARE(request, hex("AA435802FF"));
    // Late is what a busy machine does; early would be a wrong interval.
    QVERIFY2(firstPollMs > 800 && firstPollMs < 3000, qPrintable(QString::number(firstPollMs)));
    bus[0]->write(hex("BB0200FF"));
    QTRY_COMPARE_WITH_TIMEOUT(caption(0, 2), QStringLiteral("正常"), 1000);

    QCOMPARE(bus[0]->read(Wire::PollRequestSize, 1500), hex("AA435803FF"));
    pollTimer->stop();
}

// One poll of `index` on `channel` answered with `reply`, read as the read timer would.
void TestBusPolling::pollAndAnswer(int channel, int index, const QByteArray &reply)
{
    setTurn(channel, index);
    tick(channel);
    QVERIFY(answer(channel, reply));
    screen->readMyCom();
}

// What a touch on the controller's tile does.
Devices *TestBusPolling::showDashboard(int index, int channel)
{
    Devices *dashboard = Devices::getInstance(index, channel, false);
    dashboard->setIndex(index);
    dashboard->setTongdao(channel);
    dashboard->updateItems(index, channel);
    dashboard->show();
    return dashboard;
}

void TestBusPolling::replyOfTheShownControllerRefreshesTheDashboard()
{
    Devices *dashboard = showDashboard(0, 0);
    auto *fanState = dashboard->findChild<QLabel *>(QStringLiteral("label_wind_onoff"));
    auto *tvVolume = dashboard->findChild<QLabel *>(QStringLiteral("label_tv_vol"));
    SmallDevInfo reported{};
    reported.windOn = 1;
    reported.tvVol = 33;

    pollAndAnswer(0, 1, fullReply(1, 0, reported));
    QCOMPARE(fanState->text(), QStringLiteral("OFF"));
    QCOMPARE(tvVolume->text(), QStringLiteral("0"));

    pollAndAnswer(0, 0, fullReply(0, 0, reported));
    QCOMPARE(fanState->text(), QStringLiteral("ON"));
    QCOMPARE(tvVolume->text(), QStringLiteral("33"));
    dashboard->hide();
}

void TestBusPolling::heldSliderStaysUnderTheFinger_data()
{
    QTest::addColumn<QString>("screenName");
    QTest::addColumn<QString>("sliderName");
    QTest::addColumn<int>("fieldOffset");

    QTest::newRow("main dimmer") << "Light1"
                                 << "hs_main" << int(offsetof(SmallDevInfo, mainBright));
    QTest::newRow("television volume") << "Tv"
                                       << "vs_vol" << int(offsetof(SmallDevInfo, tvVol));
    QTest::newRow("air-conditioner speed") << "Aircond"
                                           << "hs_speed" << int(offsetof(SmallDevInfo, airSpeed));
}

// A finger holds a slider at 80 while the controllers report 50, its own controller among them; the
// slider stays where the finger is, and a dimmer's release sends 80.
void TestBusPolling::heldSliderStaysUnderTheFinger()
{
    QFETCH(QString, screenName);
    QFETCH(QString, sliderName);
    QFETCH(int, fieldOffset);
    SmallDevInfo reported{};
    reported.mainOn = reported.tvOn = reported.airOn = 1;
    reinterpret_cast<unsigned char *>(&reported)[fieldOffset] = 50;
    smallDevInfos[0][0] = reported;
    showDashboard(0, 0);
    QWidget *appliance = screenName == QLatin1String("Light1") ? static_cast<QWidget *>(Light1::getInstance())
        : screenName == QLatin1String("Tv")                    ? static_cast<QWidget *>(Tv::getInstance())
                                                               : static_cast<QWidget *>(Aircond::getInstance());
    appliance->show();
    Devices::updateAllSubDevs();
    auto *slider = appliance->findChild<QSlider *>(sliderName);

    slider->setSliderDown(true);
    slider->setValue(80);
    pollAndAnswer(0, 1, fullReply(1, 0, reported));
    pollAndAnswer(0, 0, fullReply(0, 0, reported));
    QCOMPARE(slider->value(), 80);

    slider->setSliderDown(false);
    if (sliderName == QLatin1String("hs_main"))
        QCOMPARE(bus[0]->read(7).toHex(' '), hex("AA000A005000FF").toHex(' '));
    appliance->hide();
    Devices::getInstance(-1, -1, false)->hide();
}

// Smoke on bus 3 and an alarm of no named kind on bus 2 while bus 1's panel is in view: their
// buttons turn red, and the start picture and Home list both; a touch on a line opens that line's
// room. An alarm whose controller falls silent stays listed, marked, until a good reply reports it
// clear.
void TestBusPolling::alarmsStayInSightUntilReportedClear()
{
    screen->showChannel(0);
    const auto button = [this](int channel) {
        return screen->findChild<QPushButton *>(QStringLiteral("btn_tong%1").arg(channel + 1));
    };
    const QLatin1String alarmRed("rgba(218, 7, 7, 255)");
    auto *homeAlarms = Home::getInstance()->findChild<AlarmBoard *>(QStringLiteral("alarmBoard"));
    auto *startAlarms = MainWindow::getInstance()->findChild<AlarmBoard *>(QStringLiteral("alarmBoard"));
    QVERIFY(homeAlarms->isHidden() && startAlarms->isHidden());

    pollAndAnswer(2, 1, hex("BB0180FF"));
    pollAndAnswer(1, 3, hex("BB0304FF"));
    QVERIFY(button(2)->styleSheet().contains(alarmRed));
    QVERIFY(!button(0)->styleSheet().contains(alarmRed));
    QCOMPARE(startAlarms->text(), QStringLiteral("警报：\n通道2  Control - 3  其他\n通道3  Control - 1  烟"));
    QCOMPARE(homeAlarms->text(), startAlarms->text());

    QTest::mouseClick(homeAlarms->lineButton(1), Qt::LeftButton);
    QCOMPARE(Devices::getIndex(), 1);
    QCOMPARE(Devices::getTongdao(), 2);
    Devices::getInstance(-1, -1, false)->hide();

    setTurn(2, 1);
    for (int poll = 0; poll < 3; ++poll) {
        tick(2);
        screen->readMyCom();
    }
    QCOMPARE(startAlarms->text(), QStringLiteral("警报：\n通道2  Control - 3  其他\n通道3  Control - 1  烟  断线"));
    QCOMPARE(caption(2, 1), QStringLiteral("警报：\n\n烟\n断线\n"));
    QVERIFY(button(2)->styleSheet().contains(alarmRed));

    pollAndAnswer(2, 1, hex("BB0100FF"));
    pollAndAnswer(1, 3, hex("BB0300FF"));
    QVERIFY(startAlarms->isHidden() && homeAlarms->isHidden());
    QVERIFY(!button(2)->styleSheet().contains(alarmRed));
    screen->showChannel(0);
}

// The dashboard of bus 1 controller 0 covers every other screen when bus 3 controller 1 raises
// smoke: the dashboard lists it (not its own room's alarm, which its icons show). A touch on the
// list opens that room, bus and number named, and closes the appliance screen of the room it left.
void TestBusPolling::alarmInAnotherRoomShowsOnTheDashboard()
{
    Devices *dashboard = showDashboard(0, 0);
    auto *otherAlarms = dashboard->findChild<AlarmBoard *>(QStringLiteral("alarmBoard"));
    QVERIFY(otherAlarms->isHidden());

    pollAndAnswer(0, 0, hex("BB0040FF"));
    QVERIFY(otherAlarms->isHidden());
    pollAndAnswer(2, 1, hex("BB0180FF"));
    QVERIFY(otherAlarms->isVisibleTo(dashboard));
    QCOMPARE(otherAlarms->text(), QStringLiteral("其他房间警报：\n通道3  Control - 1  烟"));

    Wind::getInstance()->show();
    QTest::mouseClick(otherAlarms->lineButton(0), Qt::LeftButton);
    QCOMPARE(Devices::getIndex(), 1);
    QCOMPARE(Devices::getTongdao(), 2);
    QVERIFY(Wind::getInstance()->isHidden());
    QCOMPARE(dashboard->findChild<QLabel *>(QStringLiteral("label_tong"))->text(), QStringLiteral("3"));
    QCOMPARE(otherAlarms->text(), QStringLiteral("其他房间警报：\n通道1  Control - 0  可燃气体"));

    pollAndAnswer(0, 0, hex("BB0000FF"));
    QVERIFY(otherAlarms->isHidden());
    pollAndAnswer(2, 1, hex("BB0100FF"));
    dashboard->hide();
}

// A controller judged disconnected gets no command: its switch stays, the caption says why and lies
// clear of the alarms listed under the tiles. Its next good reply makes it work again.
void TestBusPolling::controllerNotAnsweringGetsNoCommand()
{
    Devices *dashboard = showDashboard(1, 0);
    auto *fan = dashboard->findChild<QPushButton *>(QStringLiteral("btn_wind_onoff"));
    pollAndAnswer(2, 1, hex("BB0180FF"));
    pollAndAnswer(0, 1, fullReply(1, 0).left(20));

    QTest::mouseClick(fan, Qt::LeftButton);
    QVERIFY(!fan->isChecked());
    QCOMPARE(int(smallDevInfos[0][1].windOn), 0);
    QVERIFY(bus[0]->readFor(50).isEmpty());
    auto *notice = dashboard->findChild<QLabel *>(QStringLiteral("commandNotice"));
    QVERIFY(notice && notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("通道1  Control - 1 无应答，未发送"));
    auto *otherAlarms = dashboard->findChild<AlarmBoard *>(QStringLiteral("alarmBoard"));
    QVERIFY(otherAlarms->isVisible());
    QVERIFY(!notice->geometry().intersects(otherAlarms->geometry()));

    pollAndAnswer(0, 1, hex("BB0100FF"));
    QTest::mouseClick(fan, Qt::LeftButton);
    QCOMPARE(bus[0]->read(Wire::CommandFrameSize).toHex(' '), hex("AA01070100 00FF").toHex(' '));
    QVERIFY(fan->isChecked());
    pollAndAnswer(2, 1, hex("BB0100FF"));
    notice->hide();
    dashboard->hide();
}

// A switch held for a poll's reply is shown as done; when its port hangs up before the reply, the
// frame never leaves, and the switch and the record go back with the person told.
void TestBusPolling::heldSwitchDroppedWithItsPortIsTakenBack()
{
    Devices *dashboard = showDashboard(2, 1);
    auto *fan = dashboard->findChild<QPushButton *>(QStringLiteral("btn_wind_onoff"));
    setTurn(1, 2);
    QCOMPARE(tick(1), hex("AA435802FF"));
    QTest::mouseClick(fan, Qt::LeftButton);
    QVERIFY(fan->isChecked());
    QCOMPARE(int(smallDevInfos[1][2].windOn), 1);

    port(1)->close();
    QVERIFY(!fan->isChecked());
    QCOMPARE(int(smallDevInfos[1][2].windOn), 0);
    auto *notice = dashboard->findChild<QLabel *>(QStringLiteral("commandNotice"));
    QVERIFY(notice && notice->isVisible());
    QVERIFY(port(1)->open(QIODevice::ReadWrite));
    QVERIFY(bus[1]->readFor(ReplyGuardMs + 100).isEmpty());
    notice->hide();
    dashboard->hide();
}

QTEST_MAIN(TestBusPolling)
#include "tst_buspolling.moc"
