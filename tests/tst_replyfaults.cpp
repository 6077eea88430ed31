#include "app/mainwindow.h"
#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "screens/buscontrol.h"
#include "screens/devices.h"
#include "screens/devitem.h"
#include "wire/wire.h"

#include "busterminals.h"
#include "modalboxes.h"
#include "paneltest.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include "replies.h"

#include <QtTest>

// The catalogue of bad replies, read by read: what one read of a bus holds, and what the panel makes
// of it on the tile, in the tables and on the dashboard, which shows the controller under test.
// No ports: the reads go straight into the reply handling, as the read timer would pass them.
class TestReplyFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void silentPolls_data();
    void silentPolls();
    void damagedFullReply_data();
    void damagedFullReply();
    void dataThatSumsToAWrap_data();
    void dataThatSumsToAWrap();
    void cutReply_data();
    void cutReply();
    void replySplitOverTwoReads_data();
    void replySplitOverTwoReads();
    void strayBytes_data();
    void strayBytes();
    void alarmByte_data();
    void alarmByte();
    void babblingLineNeverHoldsTheTurn();
    void silentBusIsWalkedThroughWhileOthersAnswer();

private:
    void startTurn(int channel, int index);
    void tick();
    void read(int channel, const QByteArray &bytes);
    QString caption(int channel, int index) const;
    QString dashboardCaption() const { return connCaption->text(); }

    BusControl *screen = nullptr;
    QTimer *readTimer = nullptr;
    QLabel *connCaption = nullptr;
    QPushButton *clearButton = nullptr;
};

namespace {
// The controller under test, and the one the dashboard shows.
constexpr int Channel = 0;
constexpr int Index = 1;

int *const pollIndices[ChannelCount] = {&searchIndex, &searchIndex2, &searchIndex3, &searchIndex4};
int *const unanswered[ChannelCount] = {&retry1, &retry2, &retry3, &retry4};

using Replies::hex;

// A full reply whose 27 data bytes vary, so that a byte out of place shows.
QByteArray fullReply(int index, unsigned char alarm, int dataSeed = 0x21)
{
    QByteArray reply(Wire::FullReplySize, 0);
    reply[0] = char(0xCC);
    reply[1] = char(index);
    reply[2] = char(alarm);
    for (int position = 3; position <= 29; ++position)
        reply[position] = char(dataSeed + 7 * position);
    reply[30] = char(Wire::fullReplyChecksum(reply));
    return reply;
}


QByteArray shortReply(int index, unsigned char alarm)
{
    return QByteArray(1, char(0xBB)) + char(index) + char(alarm) + char(0xFF);
}

QByteArray flipped(QByteArray bytes, int position, int bit)
{
    bytes[position] = char(bytes[position] ^ (1 << bit));
    return bytes;
}

QString requesting(int earlierPolls)
{
    return QStringLiteral("请求中.\n.") + QStringLiteral("...").repeated(earlierPolls);
}

const QString offline = QStringLiteral("设备断线");
// Smoke reported before the controller fell silent: it stays, marked.
const QString smokeOffline = QStringLiteral("警报：\n\n烟\n断线\n");
const QString normal = QStringLiteral("正常");

// What a read did to the controller under test.
enum class Outcome {
    Ignored,  // nothing: the poll stays unanswered and the same controller is asked again
    Offline,  // shown disconnected at once, alarm byte cleared, record kept, the turn moves on
    Answered, // a short reply: shown answering, the turn moves on, record kept
    Stored,   // a full reply: shown answering, record and alarm byte overwritten, the turn moves on
};
} // namespace

Q_DECLARE_METATYPE(Outcome)

void TestReplyFaults::initTestCase()
{
    PanelTest::prepareApplication();
    PanelTest::useMissingPorts();
    ModalBoxCloser closer;
    MainWindow::getInstance();
    QVERIFY(closer.waitFor(ChannelCount));

    PanelTest::createQuietBusControl();
    screen = BusControl::getInstance();
    readTimer = screen->findChild<QTimer *>(QStringLiteral("readTimer"));
    QVERIFY(readTimer);
    // The first tick of the process keeps every bus on controller 0; from here on startTurn holds.
    tick();

    Devices *dashboard = Devices::getInstance(Index, Channel, false);
    dashboard->setIndex(Index);
    dashboard->setTongdao(Channel);
    dashboard->updateItems(Index, Channel);
    connCaption = dashboard->findChild<QLabel *>(QStringLiteral("label_conn"));
    clearButton = dashboard->findChild<QPushButton *>(QStringLiteral("btn_clean"));
    QVERIFY(connCaption && clearButton);
}

void TestReplyFaults::init()
{
    resetDeviceTables();
    for (int channel = 0; channel < ChannelCount; ++channel)
        startTurn(channel, 0);
}

// The next tick polls `index` on `channel`, as after an answer from the controller before it.
void TestReplyFaults::startTurn(int channel, int index)
{
    *pollIndices[channel] = (index + DevicesPerChannel - 1) % DevicesPerChannel;
    *unanswered[channel] = 0;
}

void TestReplyFaults::tick()
{
    screen->sendCommand();
    readTimer->stop();
}

void TestReplyFaults::read(int channel, const QByteArray &bytes)
{
    std::array<QByteArray, ChannelCount> reads;
    reads[channel] = bytes;
    screen->handleReplies(reads);
}

QString TestReplyFaults::caption(int channel, int index) const
{
    auto *panel = screen->findChild<QFrame *>(QStringLiteral("frame%1").arg(channel + 1));
    const auto tiles = panel->findChildren<DevItem *>(QString(), Qt::FindDirectChildrenOnly);
    return tiles.value(index)->getLabelState()->text();
}

void TestReplyFaults::silentPolls_data()
{
    QTest::addColumn<int>("polls");
    QTest::addColumn<QString>("tile");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("nextPolled");
    QTest::newRow("1 poll") << 1 << requesting(0) << 1 << Index;
    QTest::newRow("2 polls") << 2 << requesting(1) << 2 << Index;
    QTest::newRow("3 polls: disconnected") << 3 << smokeOffline << 0 << Index + 1;
    QTest::newRow("4 polls: the next controller's first") << 4 << smokeOffline << 1 << Index + 1;
}

void TestReplyFaults::silentPolls()
{
    QFETCH(int, polls);
    QFETCH(QString, tile);
    QFETCH(int, count);
    QFETCH(int, nextPolled);

    smallDevBaojingStates[Channel][Index] = 0x80;
    ControllerStates::instance()->report(Index, Channel, 0x80);
    screen->setItemState(Index, Channel, LinkAlarm, 0x80, 0);
    startTurn(Channel, Index);
    for (int poll = 0; poll < polls; ++poll) {
        tick();
        read(Channel, QByteArray());
    }
    QCOMPARE(caption(Channel, Index), tile);
    QCOMPARE(*unanswered[Channel], count);
    const bool disconnected = polls >= 3;
    QCOMPARE(int(smallDevBaojingStates[Channel][Index]), disconnected ? 0 : 0x80);
    QCOMPARE(dashboardCaption(), disconnected ? QStringLiteral(".断线.") : QStringLiteral(".异常."));
    // Silence says nothing of the smoke: it stays on every display, marked while nobody answers.
    QVERIFY(!clearButton->isHidden());
    QCOMPARE(ControllerStates::instance()->latched(Index, Channel), 0x80);
    QCOMPARE(ControllerStates::instance()->isSilent(Index, Channel), disconnected);
    if (polls < 4)
        tick();
    QCOMPARE(*pollIndices[Channel], nextPolled);
}

void TestReplyFaults::damagedFullReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Outcome>("outcome");

    const QByteArray good = fullReply(Index, 0x40);
    QByteArray up = good;
    up[30] = char(good[30] + 1);
    QByteArray down = good;
    down[30] = char(good[30] - 1);
    QTest::newRow("checksum one too high") << up << Outcome::Offline;
    QTest::newRow("checksum one too low") << down << Outcome::Offline;
    // A flip in byte 1 makes it another controller's reply (or none's); in 29 or 30 the sum fails.
    for (int bit = 0; bit < 8; ++bit) {
        QTest::addRow("byte 1, bit %d", bit) << flipped(good, 1, bit) << Outcome::Ignored;
        QTest::addRow("byte 29, bit %d", bit) << flipped(good, 29, bit) << Outcome::Offline;
        QTest::addRow("byte 30, bit %d", bit) << flipped(good, 30, bit) << Outcome::Offline;
    }
}

void TestReplyFaults::damagedFullReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(Outcome, outcome);

    smallDevBaojingStates[Channel][Index] = 0x80;
    ControllerStates::instance()->report(Index, Channel, 0x80);
    const QByteArray tables = deviceTablesSnapshot();
    startTurn(Channel, Index);
    tick();
    read(Channel, reply);
    QCOMPARE(ControllerStates::instance()->latched(Index, Channel), 0x80);

    if (outcome == Outcome::Offline) {
        QCOMPARE(caption(Channel, Index), smokeOffline);
        QCOMPARE(dashboardCaption(), QStringLiteral(".断线."));
        QCOMPARE(int(smallDevBaojingStates[Channel][Index]), 0);
        smallDevBaojingStates[Channel][Index] = 0x80;
        QCOMPARE(*unanswered[Channel], 0);
    } else {
        QCOMPARE(caption(Channel, Index), requesting(0));
        QCOMPARE(*unanswered[Channel], 1);
    }
    QCOMPARE(deviceTablesSnapshot(), tables);
}

void TestReplyFaults::dataThatSumsToAWrap_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<int>("fill");
    QTest::newRow("all 0x00") << 1 << 0x00 << 0x00;
    QTest::newRow("all 0xFF, sum wraps") << 3 << 0xFF << 0xFF;
    QTest::newRow("all 0xFF, no alarm") << 2 << 0x00 << 0xFF;
}

void TestReplyFaults::dataThatSumsToAWrap()
{
    QFETCH(int, index);
    QFETCH(int, alarm);
    QFETCH(int, fill);

    startTurn(Channel, index);
    tick();
    read(Channel, Replies::fullReply(index, alarm, fill));

    const SmallDevInfo &record = smallDevInfos[Channel][index];
    const QByteArray stored(reinterpret_cast<const char *>(&record), sizeof record);
    QByteArray expected(sizeof record, char(fill));
    expected[17] = char(fill >> 4); // the packed air-conditioner byte, split in two
    expected[18] = char(fill & 0x0F);
    QCOMPARE(stored.toHex(' '), expected.toHex(' '));
    QCOMPARE(int(smallDevBaojingStates[Channel][index]), alarm);
    QCOMPARE(caption(Channel, index).startsWith(alarm ? QStringLiteral("警报") : normal), true);
    QCOMPARE(*unanswered[Channel], 0);
}

void TestReplyFaults::cutReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Outcome>("outcome");

    // A lone start byte names no controller; from the index on, it is the polled one's broken reply.
    const QByteArray full = fullReply(Index, 0x10);
    for (int length = 1; length < Wire::FullReplySize; ++length)
        QTest::addRow("full cut at %d", length)
            << full.left(length) << (length == 1 ? Outcome::Ignored : Outcome::Offline);
    QTest::newRow("full, whole") << full << Outcome::Stored;
    const QByteArray brief = shortReply(Index, 0x10);
    for (int length = 1; length < Wire::ShortReplySize; ++length)
        QTest::addRow("short cut at %d", length) << brief.left(length) << Outcome::Ignored;
    QTest::newRow("short, whole") << brief << Outcome::Answered;
}

void TestReplyFaults::cutReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(Outcome, outcome);

    const QByteArray tables = deviceTablesSnapshot();
    startTurn(Channel, Index);
    tick();
    read(Channel, reply);

    switch (outcome) {
    case Outcome::Ignored:
        QCOMPARE(caption(Channel, Index), requesting(0));
        QCOMPARE(*unanswered[Channel], 1);
        QCOMPARE(deviceTablesSnapshot(), tables);
        break;
    case Outcome::Offline:
        QCOMPARE(caption(Channel, Index), offline);
        QCOMPARE(deviceTablesSnapshot(), tables);
        break;
    case Outcome::Answered:
        QCOMPARE(caption(Channel, Index), QStringLiteral("警报：\n\n温度\n"));
        QCOMPARE(deviceTablesSnapshot(), tables);
        break;
    case Outcome::Stored:
        QCOMPARE(caption(Channel, Index), QStringLiteral("警报：\n\n温度\n"));
        QCOMPARE(int(smallDevInfos[Channel][Index].windExt[2]), (0x21 + 7 * 29) & 0xFF);
        break;
    }
}

void TestReplyFaults::replySplitOverTwoReads_data()
{
    QTest::addColumn<int>("offset");
    for (int offset = 1; offset < Wire::FullReplySize; ++offset)
        QTest::addRow("split after byte %d", offset - 1) << offset;
}

// The first part is judged alone and the rest falls to the next poll's read, where it is noise: a
// reply is never joined across reads, and its tail is never taken for anyone's reply.
void TestReplyFaults::replySplitOverTwoReads()
{
    QFETCH(int, offset);
    const QByteArray reply = fullReply(Index, 0x80);
    const QByteArray tables = deviceTablesSnapshot();

    startTurn(Channel, Index);
    tick();
    read(Channel, reply.left(offset));
    const bool headNamesTheController = offset >= 2;
    QCOMPARE(caption(Channel, Index), headNamesTheController ? offline : requesting(0));

    tick();
    const int polledForTail = *pollIndices[Channel];
    QCOMPARE(polledForTail, headNamesTheController ? Index + 1 : Index);
    read(Channel, reply.mid(offset));
    QCOMPARE(*unanswered[Channel], headNamesTheController ? 1 : 2);
    QVERIFY(caption(Channel, polledForTail).startsWith(QStringLiteral("请求中")));
    QCOMPARE(deviceTablesSnapshot(), tables);
}

void TestReplyFaults::strayBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Outcome>("outcome");

    const QByteArray full = fullReply(Index, 0);
    const QByteArray brief = shortReply(Index, 0);
    QTest::newRow("garbage before a full reply") << hex("13") + full << Outcome::Ignored;
    QTest::newRow("garbage after a full reply") << full + hex("5A5AFF00CC") << Outcome::Stored;
    QTest::newRow("garbage around a full reply") << hex("00") + full + hex("00") << Outcome::Ignored;
    QTest::newRow("garbage after a short reply") << brief + hex("1234") << Outcome::Answered;
    QTest::newRow("garbage around a short reply") << hex("7F") + brief + hex("7F") << Outcome::Ignored;
    QTest::newRow("false 0xCC inside garbage") << hex("0102CC01") + full << Outcome::Ignored;
    QTest::newRow("false 0xBB inside garbage") << hex("55BB01") + brief << Outcome::Ignored;
    // A start byte and the polled index at the head of noise cannot be told from a broken reply.
    QTest::newRow("garbage opening with 0xCC and the index")
        << hex("CC01") + QByteArray(40, char(0x55)) << Outcome::Offline;
    QTest::newRow("garbage opening with 0xBB, index, no FF") << hex("BB010000") + brief << Outcome::Ignored;
    QTest::newRow("two replies: short first counts") << brief + fullReply(Index, 0x80) << Outcome::Answered;
    QTest::newRow("two replies: full first counts") << full + shortReply(Index, 0x80) << Outcome::Stored;
    QTest::newRow("late reply of the controller before") << fullReply(Index - 1, 0) << Outcome::Ignored;
    QTest::newRow("full reply of another index") << fullReply(Index + 1, 0) << Outcome::Ignored;
    QTest::newRow("short reply of another index") << shortReply(3, 0) << Outcome::Ignored;
    QTest::newRow("index beyond the bus") << fullReply(0x41, 0) << Outcome::Ignored;
    QTest::newRow("own poll request echoed") << hex("AA435801FF") << Outcome::Ignored;
}

void TestReplyFaults::strayBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Outcome, outcome);

    const QByteArray tables = deviceTablesSnapshot();
    startTurn(Channel, Index);
    tick();
    read(Channel, bytes);

    const QString tile = caption(Channel, Index);
    switch (outcome) {
    case Outcome::Ignored:
        QCOMPARE(tile, requesting(0));
        QCOMPARE(*unanswered[Channel], 1);
        QCOMPARE(deviceTablesSnapshot(), tables);
        break;
    case Outcome::Offline:
        QCOMPARE(tile, offline);
        QCOMPARE(deviceTablesSnapshot(), tables);
        break;
    case Outcome::Answered:
        QCOMPARE(tile, normal);
        QCOMPARE(deviceTablesSnapshot(), tables);
        break;
    case Outcome::Stored:
        QCOMPARE(tile, normal);
        QCOMPARE(int(smallDevInfos[Channel][Index].lightbeltOn), (0x21 + 7 * 3) & 0xFF);
        break;
    }
    if (outcome != Outcome::Ignored)
        QCOMPARE(*unanswered[Channel], 0);
}

void TestReplyFaults::alarmByte_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("tile");
    QTest::addColumn<QString>("dashboard");
    QTest::addColumn<int>("blinking");

    const QString all = QStringLiteral("警报：\n\n烟\n可燃气体\n二氧化碳\n温度\n漏电\n");
    for (const bool full : {false, true}) {
        const char *kind = full ? "full" : "short";
        const auto reply = [full](unsigned char alarm) {
            return full ? fullReply(Index, alarm) : shortReply(Index, alarm);
        };
        QTest::addRow("%s, 0x00", kind) << reply(0x00) << normal << QStringLiteral(".在线.") << 0;
        QTest::addRow("%s, 0x07: no captioned bit", kind)
            << reply(0x07) << QStringLiteral("警报：\n\n") << QStringLiteral(".异常.") << 0;
        QTest::addRow("%s, 0xF8: every captioned bit", kind) << reply(0xF8) << all << QStringLiteral(".异常.") << 5;
        QTest::addRow("%s, 0xFF", kind) << reply(0xFF) << all << QStringLiteral(".异常.") << 5;
    }
}

void TestReplyFaults::alarmByte()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, tile);
    QFETCH(QString, dashboard);
    QFETCH(int, blinking);

    startTurn(Channel, Index);
    tick();
    read(Channel, reply);

    QCOMPARE(caption(Channel, Index), tile);
    QCOMPARE(dashboardCaption(), dashboard);
    const unsigned char alarm = static_cast<unsigned char>(reply.at(2));
    QCOMPARE(clearButton->isHidden(), alarm == 0);
    int running = 0;
    for (QTimer *timer : Devices::getInstance(-1, -1, false)->findChildren<QTimer *>()) {
        if (timer->objectName().startsWith(QLatin1String("blinkTimer")) && timer->isActive())
            ++running;
    }
    QCOMPARE(running, blinking);
}

// About 288 bytes per read window, as a 9600-baud line carries in 300 ms: every controller is asked
// three times and given up, and the unanswered count never passes 3.
void TestReplyFaults::babblingLineNeverHoldsTheTurn()
{
    QRandomGenerator noise(2026);
    const QByteArray tables = deviceTablesSnapshot();
    QVector<int> polled;
    for (int poll = 0; poll < 48; ++poll) {
        tick();
        polled << *pollIndices[Channel];
        QByteArray babble(288, 0);
        for (char &byte : babble)
            byte = char(noise.bounded(256));
        babble[0] = char(0x55); // noise that happens to open with a start byte is another row
        read(Channel, babble);
        QVERIFY(*unanswered[Channel] >= 0 && *unanswered[Channel] <= 3);
    }
    QVector<int> expected;
    for (int round = 0; round < 4; ++round) {
        for (int index = 0; index < DevicesPerChannel; ++index)
            expected << index << index << index;
    }
    QCOMPARE(polled, expected);
    for (int index = 0; index < DevicesPerChannel; ++index)
        QCOMPARE(caption(Channel, index), offline);
    QCOMPARE(deviceTablesSnapshot(), tables);
}

// Bus 2 has nobody on it; buses 0, 1 and 3 answer every poll at the same ticks.
void TestReplyFaults::silentBusIsWalkedThroughWhileOthersAnswer()
{
    constexpr int SilentBus = 2;
    QVector<int> polled;
    for (int poll = 0; poll < 12; ++poll) {
        tick();
        polled << *pollIndices[SilentBus];
        std::array<QByteArray, ChannelCount> reads;
        for (int channel = 0; channel < ChannelCount; ++channel) {
            if (channel != SilentBus)
                reads[channel] = shortReply(*pollIndices[channel], 0);
        }
        screen->handleReplies(reads);
    }
    QCOMPARE(polled, QVector<int>({0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
    for (int index = 0; index < DevicesPerChannel; ++index) {
        QCOMPARE(caption(SilentBus, index), offline);
        QCOMPARE(caption(3, index), normal);
    }
    QCOMPARE(*pollIndices[3], 3); // twelve answers: three rounds of the four controllers
}

QTEST_MAIN(TestReplyFaults)
#include "tst_replyfaults.moc"
