#include "wire/wire.h"

#include "replies.h"

#include <QtTest>

#include <cstring>

// The reply rules, byte by byte, without a screen.
class TestWire : public QObject
{
    Q_OBJECT

private slots:
    void pollRequest();
    void classify_data();
    void classify();
    void everyCutOfAFullReply();
    void fullReplyFillsTheRecordInItsOwnOrder();
};

Q_DECLARE_METATYPE(Wire::ReplyKind)

namespace {
using Replies::fullReply;
using Replies::hex;
} // namespace

void TestWire::pollRequest()
{
    QCOMPARE(Wire::pollRequest(0), hex("AA435800FF"));
    QCOMPARE(Wire::pollRequest(3), hex("AA435803FF"));
}

void TestWire::classify_data()
{
    using Wire::ReplyKind;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("polled");
    QTest::addColumn<ReplyKind>("kind");
    QTest::addColumn<int>("alarm");

    const QByteArray example = hex("CC0100") + QByteArray(27, 0) + hex("01");
    QTest::newRow("nothing") << QByteArray() << 1 << ReplyKind::Nothing << 0;
    QTest::newRow("short, no alarm") << hex("BB0200FF") << 2 << ReplyKind::ShortReply << 0;
    QTest::newRow("short, smoke") << hex("BB0280FF") << 2 << ReplyKind::ShortReply << 0x80;
    QTest::newRow("short, bits without caption") << hex("BB0205FF") << 2 << ReplyKind::ShortReply << 0x05;
    QTest::newRow("short, trailing noise ignored") << hex("BB0200FF1234") << 2 << ReplyKind::ShortReply << 0;
    QTest::newRow("short, without FF") << hex("BB020000") << 2 << ReplyKind::Unacceptable << 0;
    QTest::newRow("short, other index") << hex("BB0300FF") << 2 << ReplyKind::Unacceptable << 0;
    QTest::newRow("short cut at 1") << hex("BB") << 2 << ReplyKind::Unacceptable << 0;
    QTest::newRow("short cut at 2") << hex("BB02") << 2 << ReplyKind::Unacceptable << 0;
    QTest::newRow("short cut at 3") << hex("BB0200") << 2 << ReplyKind::Unacceptable << 0;
    QTest::newRow("full, the all-zero example") << example << 1 << ReplyKind::FullReply << 0;
    QTest::newRow("full, gas") << fullReply(1, 0x40, 7) << 1 << ReplyKind::FullReply << 0x40;
    QTest::newRow("full, all FF data, sum wraps") << fullReply(3, 0xFF, 0xFF) << 3 << ReplyKind::FullReply << 0xFF;
    QTest::newRow("full, other index") << fullReply(2, 0) << 1 << ReplyKind::Unacceptable << 0;
    QTest::newRow("full, start byte alone") << hex("CC") << 1 << ReplyKind::Unacceptable << 0;

    QByteArray offByOne = example;
    offByOne[30] = 0x02;
    QTest::newRow("full, checksum off by one") << offByOne << 1 << ReplyKind::BrokenFullReply << 0;
    QByteArray flipped = fullReply(1, 0x80, 0x11);
    flipped[15] = char(flipped[15] ^ 0x04);
    QTest::newRow("full, one bit flipped") << flipped << 1 << ReplyKind::BrokenFullReply << 0;
    QTest::newRow("full, cut to 30") << example.left(30) << 1 << ReplyKind::BrokenFullReply << 0;
    QTest::newRow("two replies, first counts")
        << hex("BB0100FF") + fullReply(1, 0x80) << 1 << ReplyKind::ShortReply << 0;
    QTest::newRow("garbage before a reply") << hex("00") + hex("BB0100FF") << 1 << ReplyKind::Unacceptable << 0;
    QTest::newRow("poll request echoed") << hex("AA435801FF") << 1 << ReplyKind::Unacceptable << 0;
}

void TestWire::classify()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, polled);
    QFETCH(Wire::ReplyKind, kind);
    QFETCH(int, alarm);

    const Wire::ReplyVerdict verdict = Wire::classifyReply(bytes, polled);
    QCOMPARE(verdict.kind, kind);
    QCOMPARE(int(verdict.alarm), alarm);
}

// A reply of the polled controller cut anywhere after its index is a broken full reply; cut before,
// it is nothing the panel can attribute.
void TestWire::everyCutOfAFullReply()
{
    const QByteArray reply = fullReply(2, 0x10, 0x5A);
    QCOMPARE(Wire::classifyReply(reply.left(1), 2).kind, Wire::ReplyKind::Unacceptable);
    for (int length = 2; length < Wire::FullReplySize; ++length)
        QCOMPARE(Wire::classifyReply(reply.left(length), 2).kind, Wire::ReplyKind::BrokenFullReply);
    QCOMPARE(Wire::classifyReply(reply, 2).kind, Wire::ReplyKind::FullReply);
}

void TestWire::fullReplyFillsTheRecordInItsOwnOrder()
{
    QByteArray reply(Wire::FullReplySize, 0);
    reply[0] = char(0xCC);
    reply[1] = 0;
    reply[2] = 0;
    for (int position = 3; position <= 29; ++position)
        reply[position] = char(100 + position);
    reply[22] = char(0xA7);

    SmallDevInfo record;
    std::memset(&record, 0xEE, sizeof record);
    Wire::copyFullReply(reply, record);

    const unsigned char expected[28] = {
        103, 104,  105,  106, // light belt
        107, 108,  109,  110, // spot
        111, 112,  113,  114, // main light
        117, 118,  119,  120, // television: on, brightness, volume, one more
        121, 0x0A, 0x07,      // air conditioner on, packed byte split high then low
        123, 124,  125,       // set temperature, speed, one more
        115, 116,             // curtain, after the air conditioner in the record
        126, 127,  128,  129, // fan
    };
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&record), 28).toHex(' '),
             QByteArray(reinterpret_cast<const char *>(expected), 28).toHex(' '));
    QCOMPARE(record.airTemp, 123);
    QCOMPARE(record.curtainOn, 115);
    QCOMPARE(record.tvVol, 119);
}

QTEST_APPLESS_MAIN(TestWire)
#include "tst_wire.moc"
