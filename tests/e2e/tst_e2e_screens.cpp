#include "panelsession.h"

#include <QImage>
#include <QtTest>

#include <functional>

namespace {

// The bus control screen shows channel 0; its panel starts at (212, 150) and tile i at
// (70 + 280 i, 30) inside it, with the state caption 160 px right of the tile's picture.
QRect tileCaption(int index)
{
    return QRect(212 + 70 + 280 * index + 160, 150 + 30, 70, 140);
}

QPoint tilePicture(int index)
{
    return QPoint(212 + 70 + 280 * index + 70, 150 + 30 + 70);
}

// On the dashboard the five tiles stand at x 70, 440, 830, 1190 and 1540 (y 580, 280 x 280): the
// switch in the bottom right corner, the touch area over the rest.
const int tileLeft[] = {70, 440, 830, 1190, 1540};
enum Tile { Air, Tv, Light, Curtain, Fan };

QPoint tileSwitch(Tile tile)
{
    return QPoint(tileLeft[tile] + 210, 805);
}

QPoint tileTouchArea(Tile tile)
{
    return QPoint(tileLeft[tile] + 70, 680);
}

const QPoint dashboardReturn(1833, 993);
const QPoint clearAlarms(480, 220);

// The captions are 8 pt text on light grey, so their strokes are mostly blends of the caption's
// colour with the grey: tell them apart by hue, not by exact colour.
enum class Tint { Green, Red, Orange };

bool hasTint(QRgb pixel, Tint tint)
{
    const int r = qRed(pixel);
    const int g = qGreen(pixel);
    const int b = qBlue(pixel);
    switch (tint) {
    case Tint::Green:
        return g > r + 25 && g > b + 25;
    case Tint::Red:
        return r > g + 40 && qAbs(g - b) < 25;
    case Tint::Orange:
        return r > g + 35 && g > b + 40;
    }
    return false;
}

int tintedPixels(const QImage &image, const QRect &area, Tint tint)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += hasTint(image.pixel(x, y), tint);
    }
    return count;
}

// The smoke icon is red and orange on a light badge; the dashboard behind it is blue.
int warmPixels(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            count += qRed(pixel) > 170 && qBlue(pixel) < 130;
        }
    }
    return count;
}

QByteArray frame(const char *hex)
{
    return QByteArray::fromHex(hex);
}

bool isCommand(const QByteArray &bytes, int index, int code)
{
    return bytes.size() == 7 && quint8(bytes.at(0)) == 0xAA && bytes.at(1) == index && bytes.at(2) == code
        && bytes.endsWith(frame("00FF"));
}

} // namespace

// The real panel on bus 0 of a small building: the tiles' colours, the dashboard's switches and
// blinking alarm, and the five appliance screens, each touched where a person would.
class TestE2eScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tilesShowNormalAlarmAndDisconnected();
    void tileOpensTheDashboardOfItsController();
    void dashboardSwitchesSendTheirFrames();
    void alarmBlinksAndClearSendsTheClearFrame();
    void airConditionerScreen();
    void televisionScreen();
    void lightingScreenDimmerByDrag();
    void curtainScreen();
    void fanScreen();
    void dashboardReturnHidesEveryApplianceScreen();
    void alarmOnAnotherBusShowsOnItsButtonAndOnHome();

private:
    QImage grab();
    // Commands (not polls) that reached bus 0 since the mark.
    QVector<QByteArray> commandsSince(int mark) const;
    int mark() const { return session.framesReceived(0).size(); }
    bool commandArrives(int since, int index, int code);
    bool hiddenAfterReturn(const QPoint &returnButton, const QString &title);
    bool openAppliance(Tile tile, const QString &title);
    bool screenShown(const QByteArray &screen);

    PanelSession session;
    // Window ids of the full-screen screens, in the order they are first opened.
    QByteArray home;
    QByteArray busControl;
    QByteArray dashboard;
    QTemporaryDir shots;
    int shotNumber = 0;
};

void TestE2eScreens::initTestCase()
{
    QVERIFY(shots.isValid());
    QString error;
    QVERIFY2(session.start(QStringLiteral(SCREENS_SCENARIO), &error), qPrintable(error));
    QVERIFY(session.click(960, 540));
    home = session.waitForScreenOtherThan({});
    QVERIFY(!home.isEmpty());
    QVERIFY(session.click(1142, 537));
    busControl = session.waitForScreenOtherThan(home);
    QVERIFY(!busControl.isEmpty());
}

QImage TestE2eScreens::grab()
{
    const QString path = shots.filePath(QStringLiteral("shot%1.png").arg(shotNumber++));
    return session.screenshot(path) ? QImage(path).convertToFormat(QImage::Format_RGB32) : QImage();
}

QVector<QByteArray> TestE2eScreens::commandsSince(int since) const
{
    QVector<QByteArray> commands;
    const QVector<QByteArray> frames = session.framesReceived(0);
    for (int i = since; i < frames.size(); ++i) {
        if (!frames.at(i).startsWith(frame("AA4358")))
            commands.append(frames.at(i));
    }
    return commands;
}

bool TestE2eScreens::commandArrives(int since, int index, int code)
{
    return PanelSession::waitFor(
        [&] {
            const QVector<QByteArray> commands = commandsSince(since);
            return std::any_of(commands.begin(), commands.end(),
                               [&](const QByteArray &bytes) { return isCommand(bytes, index, code); });
        },
        5000);
}

// Controller 2 is silent: its verdict comes after its third poll, some 6 s after polling starts.
void TestE2eScreens::tilesShowNormalAlarmAndDisconnected()
{
    const auto shows = [this](int index, Tint tint) {
        return PanelSession::waitFor([&] { return tintedPixels(grab(), tileCaption(index), tint) > 5; }, 20000);
    };
    QVERIFY(shows(0, Tint::Green));
    QVERIFY(shows(1, Tint::Red));
    QVERIFY(shows(2, Tint::Orange));
    QVERIFY(shows(3, Tint::Green));
}

void TestE2eScreens::tileOpensTheDashboardOfItsController()
{
    QVERIFY(session.click(tilePicture(1).x(), tilePicture(1).y()));
    dashboard = session.waitForScreenOtherThan(busControl);
    QVERIFY(!dashboard.isEmpty());
    // The fan switch of the dashboard acts on the controller whose tile was touched.
    const int since = mark();
    QVERIFY(session.click(tileSwitch(Fan).x(), tileSwitch(Fan).y()));
    QVERIFY(commandArrives(since, 1, 7));
    QCOMPARE(commandsSince(since).first(), frame("AA0107010000FF"));
    // A reply on its way when the switch was touched still reports the fan off and turns the switch
    // back until the next one: wait until a report of the fan on has been read (a poll follows it).
    QVERIFY(PanelSession::waitFor(
        [this] {
            bool reportedOn = false;
            for (const SimLogLine &line : session.simulatorLog()) {
                if (line.channel != 0)
                    continue;
                if (line.kind == QLatin1String("tx") && line.bytes.size() == 31 && line.bytes.startsWith(frame("CC01")))
                    reportedOn = line.bytes.at(26) == 1;
                else if (reportedOn && line.kind == QLatin1String("rx") && line.bytes.startsWith(frame("AA4358")))
                    return true;
            }
            return false;
        },
        15000));
}

void TestE2eScreens::dashboardSwitchesSendTheirFrames()
{
    const struct
    {
        Tile tile;
        QByteArray wire;
    } switches[] = {
        {Air, frame("AA0106010000FF")},     {Tv, frame("AA0105010000FF")},  {Light, frame("AA010A010000FF")},
        {Curtain, frame("AA0104010000FF")}, {Fan, frame("AA0107020000FF")},
    };
    for (const auto &entry : switches) {
        const int since = mark();
        QVERIFY(session.click(tileSwitch(entry.tile).x(), tileSwitch(entry.tile).y()));
        QVERIFY2(PanelSession::waitFor([&] { return commandsSince(since).contains(entry.wire); }, 5000),
                 entry.wire.toHex(' ').constData());
    }
}

// Smoke and carbon dioxide: their icons blink, 500 ms on and 500 ms off.
void TestE2eScreens::alarmBlinksAndClearSendsTheClearFrame()
{
    const QRect smokeIcon(150, 200, 40, 40);
    bool seenOn = false;
    bool seenOff = false;
    QVERIFY(PanelSession::waitFor(
        [&] {
            const bool on = warmPixels(grab(), smokeIcon) > 20;
            seenOn |= on;
            seenOff |= !on;
            return seenOn && seenOff;
        },
        10000));

    const int since = mark();
    QVERIFY(session.click(clearAlarms.x(), clearAlarms.y()));
    QVERIFY(PanelSession::waitFor([&] { return commandsSince(since).contains(frame("AA0100000000FF")); }, 5000));
}

// A return button hides its screen: the dashboard's television switch, beneath where the screen was,
// takes the next touch.
bool TestE2eScreens::hiddenAfterReturn(const QPoint &returnButton, const QString &title)
{
    if (!session.click(returnButton.x(), returnButton.y())
        || !PanelSession::waitFor([&] { return !session.windowVisible(title); }, 5000))
        return false;
    const int since = mark();
    return session.click(tileSwitch(Tv).x(), tileSwitch(Tv).y()) && commandArrives(since, 1, 5);
}

bool TestE2eScreens::openAppliance(Tile tile, const QString &title)
{
    return session.click(tileTouchArea(tile).x(), tileTouchArea(tile).y())
        && PanelSession::waitFor([&] { return session.windowVisible(title); }, 5000);
}

// The one full-screen screen on view; the ones it covers are hidden.
bool TestE2eScreens::screenShown(const QByteArray &screen)
{
    return PanelSession::waitFor([&] { return session.shownScreen() == screen; }, 5000);
}

void TestE2eScreens::airConditionerScreen()
{
    QVERIFY(openAppliance(Air, QStringLiteral("空调")));
    int since = mark();
    QVERIFY(session.click(950, 580)); // power
    QVERIFY(commandArrives(since, 1, 6));
    since = mark();
    QVERIFY(session.click(1210, 580)); // "+": stored, never sent
    QVERIFY(session.click(700, 580));  // "-"
    QVERIFY(session.click(700, 750));  // a mode button
    QVERIFY(PanelSession::holdsFor([&] { return commandsSince(since).isEmpty(); }, 1000));
    QVERIFY(hiddenAfterReturn(QPoint(1270, 215), QStringLiteral("空调")));
}

void TestE2eScreens::televisionScreen()
{
    QVERIFY(openAppliance(Tv, QStringLiteral("电视")));
    int since = mark();
    QVERIFY(session.click(950, 825)); // power
    QVERIFY(commandArrives(since, 1, 5));
    since = mark();
    QVERIFY(session.click(950, 520)); // "OK" on the remote
    QVERIFY(PanelSession::holdsFor([&] { return commandsSince(since).isEmpty(); }, 1000));
    QVERIFY(hiddenAfterReturn(QPoint(1270, 205), QStringLiteral("电视")));
}

// The main light is on (the dashboard's light switch turned it on) at 60: its handle sits at
// 690 + 0.6 x (500 - 40) + 20. Dragged to the left end and released, it sends brightness 0.
void TestE2eScreens::lightingScreenDimmerByDrag()
{
    QVERIFY(openAppliance(Light, QStringLiteral("灯")));
    int since = mark();
    QVERIFY(session.drag(986, 285, 650, 285, 12));
    QVERIFY(PanelSession::waitFor([&] { return commandsSince(since).contains(frame("AA010A000000FF")); }, 5000));

    since = mark();
    QVERIFY(session.click(1285, 545)); // spot light switch
    QVERIFY(commandArrives(since, 1, 9));
    since = mark();
    QVERIFY(session.click(1285, 675)); // kitchen: no wire behind it
    QVERIFY(PanelSession::holdsFor([&] { return commandsSince(since).isEmpty(); }, 1000));
    QVERIFY(hiddenAfterReturn(QPoint(1270, 195), QStringLiteral("灯")));
}

void TestE2eScreens::curtainScreen()
{
    QVERIFY(openAppliance(Curtain, QStringLiteral("窗帘")));
    int since = mark();
    QVERIFY(session.click(710, 790)); // open
    QVERIFY(PanelSession::waitFor([&] { return commandsSince(since).contains(frame("AA0104010000FF")); }, 5000));
    since = mark();
    QVERIFY(session.click(1210, 790)); // close
    QVERIFY(PanelSession::waitFor([&] { return commandsSince(since).contains(frame("AA0104020000FF")); }, 5000));
    QVERIFY(hiddenAfterReturn(QPoint(1290, 215), QStringLiteral("窗帘")));
}

void TestE2eScreens::fanScreen()
{
    QVERIFY(openAppliance(Fan, QStringLiteral("风扇")));
    const int since = mark();
    QVERIFY(session.click(940, 765)); // power
    QVERIFY(commandArrives(since, 1, 7));
    QVERIFY(hiddenAfterReturn(QPoint(1250, 225), QStringLiteral("风扇")));
}

// With two appliance screens open over the dashboard, its return button leaves the bus control
// screen uncovered: a touch where the screens were opens another controller's dashboard.
void TestE2eScreens::dashboardReturnHidesEveryApplianceScreen()
{
    QVERIFY(openAppliance(Air, QStringLiteral("空调")));
    QVERIFY(openAppliance(Fan, QStringLiteral("风扇")));
    QVERIFY(session.click(dashboardReturn.x(), dashboardReturn.y()));
    QVERIFY(screenShown(busControl));
    QVERIFY(!session.windowVisible(QStringLiteral("空调")) && !session.windowVisible(QStringLiteral("风扇")));

    QVERIFY(session.click(tilePicture(3).x(), tilePicture(3).y())); // under where both screens were
    QVERIFY(screenShown(dashboard));
    const int since = mark();
    QVERIFY(session.click(tileSwitch(Fan).x(), tileSwitch(Fan).y()));
    QVERIFY(commandArrives(since, 3, 7));
}

// Bus 2's controller 1 is in smoke alarm while bus 0's panel is in view: bus 2's button is red and
// Home lists the alarm under bus 0's own; a touch on that second line opens that room, whose fan
// switch reaches bus 2.
void TestE2eScreens::alarmOnAnotherBusShowsOnItsButtonAndOnHome()
{
    const QRect channel3Button(10, 570, 60, 60);
    const QRect homeAlarmList(600, 840, 720, 190);
    const QPoint secondAlarmLine(960, 975);
    const auto tinted = [this](const QRect &area, Tint tint) {
        return PanelSession::waitFor(
            [&] { return tintedPixels(grab(), area, tint) > area.width() * area.height() / 2; });
    };
    QVERIFY(session.click(dashboardReturn.x(), dashboardReturn.y()));
    QVERIFY(tinted(channel3Button, Tint::Red));

    QVERIFY(session.click(1833, 993)); // the bus control screen's return: Home
    QVERIFY(screenShown(home));
    QVERIFY(tinted(homeAlarmList, Tint::Red));

    QVERIFY(session.click(secondAlarmLine.x(), secondAlarmLine.y()));
    QVERIFY(screenShown(dashboard));
    QVERIFY(session.click(tileSwitch(Fan).x(), tileSwitch(Fan).y()));
    QVERIFY(PanelSession::waitFor([this] { return session.framesReceived(2).contains(frame("AA01070100 00FF")); }));
}

QTEST_GUILESS_MAIN(TestE2eScreens)
#include "tst_e2e_screens.moc"
