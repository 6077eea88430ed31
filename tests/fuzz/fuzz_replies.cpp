// Arbitrary bytes as the reads of the four buses, tick after tick, through the panel's real reply
// handling: the per-channel state machine, the state tables, the tiles and the dashboard, which shows
// a controller throughout. After every read the state is checked against a model of its own.
//
// Input: byte 0 picks the shown controller (bits 0-1 index, bits 2-3 channel) and, with bit 4, an
// appliance screen shown over the dashboard (bits 5-7). Then one step per tick: a byte whose bits 0-3
// say which channels' reads carry bytes, whose bit 4 says a new shown controller follows in one more
// byte and whose bit 5 presses the dashboard's clear button; then, per channel in the mask, a length
// byte and that many bytes (cut at the input's end).
//
// Above all: an alarm seen stays shown until a good reply of its controller reports it clear. A
// person's clear only asks the controller; silence, noise and garbled replies change nothing of it.

#include "app/mainwindow.h"
#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "screens/appliances/aircond.h"
#include "screens/appliances/curtain.h"
#include "screens/appliances/light1.h"
#include "screens/appliances/tv.h"
#include "screens/appliances/wind.h"
#include "screens/buscontrol.h"
#include "screens/devices.h"
#include "screens/devitem.h"

#include "modalboxes.h"
#include "paneltest.h"
#include "replymodel.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace ReplyModel;

namespace {

int &pollIndex(int channel)
{
    int *const indices[ChannelCount] = {&searchIndex, &searchIndex2, &searchIndex3, &searchIndex4};
    return *indices[channel];
}

int &unanswered(int channel)
{
    int *const counts[ChannelCount] = {&retry1, &retry2, &retry3, &retry4};
    return *counts[channel];
}

struct Screens
{
    BusControl *bus = nullptr;
    QTimer *readTimer = nullptr;
    Devices *dashboard = nullptr;
    QLabel *connCaption = nullptr;
    QPushButton *clearButton = nullptr;
    DevItem *tiles[ChannelCount][DevicesPerChannel] = {};
    QTimer *blinkTimers[5] = {};
};

Screens screens;

// What the screens must show of each controller's alarms: the last a good reply reported.
struct Latched
{
    unsigned char alarm[ChannelCount][DevicesPerChannel] = {};
    bool silent[ChannelCount][DevicesPerChannel] = {};
};
Latched latched;

void buildScreens()
{
    static int argc = 1;
    static char name[] = "fuzz_replies";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Silences the debug lines: millions of them would cost more than the code under test.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    new QApplication(argc, argv); // lives until the process ends, like the screens
    PanelTest::prepareApplication();
    PanelTest::useMissingPorts();
    {
        ModalBoxCloser closer;
        MainWindow::getInstance();
        closer.waitFor(ChannelCount);
    }
    PanelTest::createQuietBusControl();
    screens.bus = BusControl::getInstance();
    screens.readTimer = screens.bus->findChild<QTimer *>(QStringLiteral("readTimer"));
    // The very first tick keeps every bus on controller 0; after it, every input starts alike.
    screens.bus->sendCommand();
    screens.dashboard = Devices::getInstance(-1, -1, false);
    screens.connCaption = screens.dashboard->findChild<QLabel *>(QStringLiteral("label_conn"));
    screens.clearButton = screens.dashboard->findChild<QPushButton *>(QStringLiteral("btn_clean"));
    for (int icon = 0; icon < 5; ++icon)
        screens.blinkTimers[icon] = screens.dashboard->findChild<QTimer *>(QStringLiteral("blinkTimer%1").arg(icon));
    for (int channel = 0; channel < ChannelCount; ++channel) {
        auto *panel = screens.bus->findChild<QFrame *>(QStringLiteral("frame%1").arg(channel + 1));
        const auto tiles = panel->findChildren<DevItem *>(QString(), Qt::FindDirectChildrenOnly);
        for (int index = 0; index < DevicesPerChannel; ++index)
            screens.tiles[channel][index] = tiles.value(index);
    }
}

// Each input's first tick polls controller 0 of every bus, as after an answer from controller 3.
void startTurns()
{
    resetDeviceTables();
    latched = {};
    for (int channel = 0; channel < ChannelCount; ++channel)
        pollIndex(channel) = DevicesPerChannel - 1;
}

void showController(unsigned char choice)
{
    const int index = choice & 3;
    const int channel = (choice >> 2) & 3;
    screens.dashboard->setIndex(index);
    screens.dashboard->setTongdao(channel);
    screens.dashboard->updateItems(index, channel);
}

void showAppliance(unsigned char choice)
{
    QWidget *const appliances[5] = {Aircond::getInstance(), Tv::getInstance(), Light1::getInstance(),
                                    Curtain::getInstance(), Wind::getInstance()};
    for (QWidget *appliance : appliances) {
        // Shown for the reply handling, never painted: drawing 800x800 pictures would be most of the time.
        appliance->setUpdatesEnabled(false);
        appliance->hide();
    }
    if (choice & 0x10)
        appliances[(choice >> 5) % 5]->show();
}

QString requestingCaption(int earlierPolls)
{
    return QStringLiteral("请求中.\n.") + QStringLiteral("...").repeated(earlierPolls);
}

struct Before
{
    int index[ChannelCount];
    int count[ChannelCount];
    SmallDevInfo records[ChannelCount][DevicesPerChannel];
    unsigned char alarms[ChannelCount][DevicesPerChannel];
    QString connCaption;
};

Before snapshot()
{
    Before before{};
    for (int channel = 0; channel < ChannelCount; ++channel) {
        before.index[channel] = pollIndex(channel);
        before.count[channel] = unanswered(channel);
    }
    std::memcpy(before.records, smallDevInfos, sizeof smallDevInfos);
    std::memcpy(before.alarms, smallDevBaojingStates, sizeof smallDevBaojingStates);
    before.connCaption = screens.connCaption->text();
    return before;
}

void checkRecordsOfOthers(const Before &before, int channel, int polled, bool polledMayChange)
{
    for (int index = 0; index < DevicesPerChannel; ++index) {
        if (index == polled && polledMayChange)
            continue;
        check(std::memcmp(&before.records[channel][index], &smallDevInfos[channel][index], sizeof(SmallDevInfo)) == 0,
              "a record changed without an acceptable full reply of its own", channel, index);
    }
}

void checkDashboard(const Before &before, int channel, int polled, Verdict verdict, unsigned char alarm, bool offline)
{
    if (Devices::getIndex() != polled || Devices::getTongdao() != channel)
        return;
    const bool answered = verdict == Verdict::Short || verdict == Verdict::Full;
    QString caption = before.connCaption;
    if (answered)
        caption = alarm ? QStringLiteral(".异常.") : QStringLiteral(".在线.");
    else if (offline)
        caption = QStringLiteral(".断线.");
    check(screens.connCaption->text() == caption, "the dashboard's caption does not follow the read", channel, polled);
    Q_UNUSED(alarm)
    const unsigned char shown = latched.alarm[channel][polled];
    check(screens.clearButton->isHidden() == (shown == 0), "the clear button does not follow the latched alarm",
          channel, polled);
    for (int icon = 0; icon < 5; ++icon) {
        const bool blinking = shown & (0x80 >> icon);
        check(screens.blinkTimers[icon]->isActive() == blinking, "an alarm icon does not follow the latched alarm",
              channel, polled);
    }
}

// Every display of the house's alarms lists exactly the latched ones, "断线" where the controller
// has not answered since.
void checkControllerStates()
{
    ControllerStates *alarms = ControllerStates::instance();
    int listed = 0;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        for (int index = 0; index < DevicesPerChannel; ++index) {
            check(alarms->latched(index, channel) == latched.alarm[channel][index],
                  "an alarm seen is no longer shown, or one never reported is", channel, index);
            if (latched.alarm[channel][index])
                check(alarms->isSilent(index, channel) == latched.silent[channel][index],
                      "a latched alarm's mark does not follow its controller's answers", channel, index);
            listed += latched.alarm[channel][index] != 0;
        }
    }
    check(alarms->raised().size() == listed, "the house's list of alarms is not the latched ones", -1, -1);
}

void checkChannel(const Before &before, int channel, const QByteArray &read)
{
    const int polled = before.index[channel];
    const int count = before.count[channel];
    const Verdict verdict = judge(read, polled);
    const bool offline = verdict == Verdict::Broken
        || ((verdict == Verdict::Silence || verdict == Verdict::Noise) && count > 2);

    check(pollIndex(channel) == polled, "a read moved the turn", channel, polled);
    check(unanswered(channel) >= 0 && unanswered(channel) <= 3, "the unanswered count left 0..3", channel, polled);
    const int expectedCount = (verdict == Verdict::Silence || verdict == Verdict::Noise) && !offline ? count : 0;
    check(unanswered(channel) == expectedCount, "the unanswered count is wrong", channel, polled);

    checkRecordsOfOthers(before, channel, polled, verdict == Verdict::Full);
    const unsigned char alarm = verdict == Verdict::Short || verdict == Verdict::Full
        ? static_cast<unsigned char>(read.at(2))
        : 0;
    if (verdict == Verdict::Short || verdict == Verdict::Full) {
        latched.alarm[channel][polled] = alarm;
        latched.silent[channel][polled] = false;
    } else if (offline) {
        latched.silent[channel][polled] = true;
    }
    const unsigned char shown = latched.alarm[channel][polled];
    if (verdict == Verdict::Full) {
        const auto expected = expectedRecord(read);
        check(std::memcmp(expected.data(), &smallDevInfos[channel][polled], 28) == 0,
              "a full reply was stored in the wrong fields", channel, polled);
    }
    for (int index = 0; index < DevicesPerChannel; ++index) {
        unsigned char expectedAlarm = before.alarms[channel][index];
        if (index == polled && verdict == Verdict::Full)
            expectedAlarm = alarm;
        else if (index == polled && offline)
            expectedAlarm = 0;
        check(smallDevBaojingStates[channel][index] == expectedAlarm, "an alarm byte changed wrongly", channel, index);
    }

    const QString caption = screens.tiles[channel][polled]->getLabelState()->text();
    if (offline && shown)
        check(caption.startsWith(QStringLiteral("警报：")) && caption.endsWith(QStringLiteral("断线\n")),
              "a disconnected controller's tile lost its alarm", channel, polled);
    else if (offline)
        check(caption == QStringLiteral("设备断线"), "a disconnected controller's tile says otherwise", channel,
              polled);
    else if (verdict == Verdict::Short || verdict == Verdict::Full)
        check(caption.startsWith(alarm ? QStringLiteral("警报：") : QStringLiteral("正常")),
              "an answering controller's tile says otherwise", channel, polled);
    else
        check(caption == requestingCaption(count - 1), "a pending poll's tile says otherwise", channel, polled);

    checkDashboard(before, channel, polled, verdict, alarm, offline);
}

constexpr int MaxTicks = 64;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    buildScreens();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input input(data, size);
    startTurns();
    const unsigned char first = input.next();
    showController(first);
    showAppliance(first);

    for (int tick = 0; tick < MaxTicks && !input.atEnd(); ++tick) {
        const unsigned char step = input.next();
        if (step & 0x10)
            showController(input.next());
        if (step & 0x20)
            screens.clearButton->click();
        std::array<QByteArray, ChannelCount> reads;
        for (int channel = 0; channel < ChannelCount; ++channel) {
            if (step & (1 << channel))
                reads[channel] = input.take(input.next());
        }
        screens.bus->sendCommand();
        // The reads are the input's; the ports' own read must not run in between.
        screens.readTimer->stop();
        const Before before = snapshot();
        screens.bus->handleReplies(reads);
        for (int channel = 0; channel < ChannelCount; ++channel)
            checkChannel(before, channel, reads[channel]);
        checkControllerStates();
    }
    // Timers and posted events run as in the panel's own loop, so nothing piles up between inputs.
    QCoreApplication::processEvents();
    return 0;
}
