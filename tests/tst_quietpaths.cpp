#include "app/mainwindow.h"
#include "bus/devicetables.h"
#include "screens/appliances/aircond.h"
#include "screens/appliances/curtain.h"
#include "screens/appliances/light1.h"
#include "screens/appliances/tv.h"
#include "screens/appliances/wind.h"
#include "screens/buscontrol.h"
#include "screens/devices.h"
#include "screens/devitem.h"
#include "screens/shared/stylesheet.h"

#include "busterminals.h"
#include "messagelog.h"
#include "paneltest.h"

#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include "replies.h"

#include <QtTest>

#include <functional>

Q_DECLARE_METATYPE(std::function<void()>)

// What keeps the panel cheap without changing what it shows or sends: no re-polish for a sheet
// already in place, frames on the wire before the event loop runs, and a bus control screen that
// stays still while the dashboard covers it.
class TestQuietPaths : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void sameSheetIsNotSetAgain();
    void framesAreOnTheWireAtOnce_data();
    void framesAreOnTheWireAtOnce();
    void switchFrameLeavesBeforeTheRestyle();
    void unchangedRefreshRepolishesNothing_data();
    void unchangedRefreshRepolishesNothing();
    void coveredTilesTakeCaptionsAtOnceAndColoursWhenUncovered();
    void latestColourWinsWhileCovered();
    void clockTickRepaintsOnlyItsRectangle();
    void backgroundFromTheCopyIsTheStylesOwn();

private:
    QLabel *tileLabel(int channel, int index, bool state) const;
    void selectShownRoom();
    QLabel *emptiedClock() const;

    BusTerminals buses;
    BusControl *busControl = nullptr;
    Devices *dashboard = nullptr;
};

namespace {
const QString normalStateQss = QStringLiteral("QLabel{color: rgb(7, 119, 7);}");
const QString requestingQss = QStringLiteral("QLabel{color: rgb(235, 197, 84);}");
const QString alarmQss = QStringLiteral("QLabel{color: rgb(218, 7, 7);}");

// Counts the re-polishes (StyleChange events) of a widget and everything in it.
class RepolishCounter : public QObject
{
public:
    explicit RepolishCounter(QWidget *root)
    {
        root->installEventFilter(this);
        for (QWidget *widget : root->findChildren<QWidget *>())
            widget->installEventFilter(this);
    }

    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange)
            ++count;
        return false;
    }
};

// Collects what each watched widget is asked to repaint.
class PaintRecorder : public QObject
{
public:
    explicit PaintRecorder(const QList<QWidget *> &widgets)
    {
        for (QWidget *widget : widgets)
            widget->installEventFilter(this);
    }

    QHash<QObject *, QRegion> painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted[watched] += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

QRect alarmIconRow(const QWidget *dashboard)
{
    QRect row;
    for (int icon = 0; icon < 5; ++icon)
        row |= dashboard->findChild<QLabel *>(QStringLiteral("label_jg%1").arg(icon))->geometry();
    return row;
}

using Replies::hex;
} // namespace

void TestQuietPaths::initTestCase()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    QVERIFY(buses.openMainWindow());
    PanelTest::createQuietBusControl();
    busControl = BusControl::getInstance();
    busControl->show();
    dashboard = Devices::getInstance(-1, -1, false);
}

void TestQuietPaths::init()
{
    resetDeviceTables();
    dashboard->hide();
    buses.discardPending();
    MessageLog::clear();
}

QLabel *TestQuietPaths::tileLabel(int channel, int index, bool state) const
{
    auto *panel = busControl->findChild<QFrame *>(QStringLiteral("frame%1").arg(channel + 1));
    DevItem *tile = panel->findChildren<DevItem *>(QString(), Qt::FindDirectChildrenOnly).value(index);
    return state ? tile->getLabelState() : tile->getLabelIdx();
}

// What touching the first tile does.
void TestQuietPaths::selectShownRoom()
{
    dashboard->setIndex(0);
    dashboard->setTongdao(0);
    dashboard->updateItems(0, 0);
    dashboard->show();
}

void TestQuietPaths::sameSheetIsNotSetAgain()
{
    QLabel label;
    label.setStyleSheet(normalStateQss);
    // Only a polished widget re-polishes on a new sheet, as every shown one is.
    label.ensurePolished();
    RepolishCounter counter(&label);
    setStyleSheetIfChanged(&label, alarmQss);
    setStyleSheetIfChanged(&label, alarmQss);
    QCOMPARE(counter.count, 1);
    setStyleSheetIfChanged(&label, normalStateQss);
    QCOMPARE(counter.count, 2);
    QCOMPARE(label.styleSheet(), normalStateQss);
}

void TestQuietPaths::framesAreOnTheWireAtOnce_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<std::function<void()>>("send");

    // The read right after it frees the line at once, so that the commands below are not held for
    // a reply no controller here will send.
    QTest::newRow("poll request") << 2 << hex("AA435800FF") << std::function<void()>([] {
        BusControl::getInstance()->sendCommand();
        BusControl::getInstance()->readMyCom();
    });
    QTest::newRow("switch command") << 1 << hex("AA0207010000FF") << std::function<void()>([] {
        MainWindow::getInstance()->sendLightOpen(1, 2, 7, true);
    });
    QTest::newRow("value command") << 3 << hex("AA0109003C00FF")
                                   << std::function<void()>([] { MainWindow::getInstance()->sendLight(3, 1, 9, 60); });
}

// The frame is whole on the wire after one turn of the event loop, before anything else is sent.
void TestQuietPaths::framesAreOnTheWireAtOnce()
{
    QFETCH(int, channel);
    QFETCH(QByteArray, frame);
    QFETCH(std::function<void()>, send);

    send();
    QCOMPARE(buses.channel(channel).read(frame.size(), 200), frame);
}

// The person waits for the appliance: by the time the switch is re-polished, its frame has left for
// the wire, not waiting in the port for a later turn of the event loop.
void TestQuietPaths::switchFrameLeavesBeforeTheRestyle()
{
    selectShownRoom();
    auto *fanSwitch = dashboard->findChild<QPushButton *>(QStringLiteral("btn_wind_onoff"));
    QVERIFY(fanSwitch);
    qint64 queuedAtRestyle = -1;
    class FrameAtRestyle : public QObject
    {
    public:
        explicit FrameAtRestyle(qint64 &queuedBytes)
            : queued(queuedBytes)
        {
        }

    protected:
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::StyleChange && queued < 0)
                queued = MainWindow::getCom(0)->bytesToWrite();
            return false;
        }

    private:
        qint64 &queued;
    } watcher(queuedAtRestyle);
    fanSwitch->installEventFilter(&watcher);

    QTest::mouseClick(fanSwitch, Qt::LeftButton);
    fanSwitch->removeEventFilter(&watcher);

    QCOMPARE(queuedAtRestyle, qint64(0));
    QCOMPARE(buses.channel(0).read(7, 200), hex("AA0007010000FF"));
    QCOMPARE(fanSwitch->styleSheet(), QStringLiteral("border-image: url(:/swon.png);outline: none;"));
    QCOMPARE(smallDevInfos[0][0].windOn, 1);
}

void TestQuietPaths::unchangedRefreshRepolishesNothing_data()
{
    QTest::addColumn<QString>("screen");
    QTest::newRow("dashboard tiles") << QStringLiteral("Devices");
    QTest::newRow("air conditioner") << QStringLiteral("Aircond");
    QTest::newRow("curtain") << QStringLiteral("Curtain");
    QTest::newRow("lighting") << QStringLiteral("Light1");
    QTest::newRow("television") << QStringLiteral("Tv");
    QTest::newRow("fan") << QStringLiteral("Wind");
}

// Every full reply reloads the open screens from the tables; a reload that finds what is already
// shown must not re-polish anything.
void TestQuietPaths::unchangedRefreshRepolishesNothing()
{
    QFETCH(QString, screen);
    SmallDevInfo &record = smallDevInfos[0][0];
    record.mainOn = record.spotOn = record.tvOn = record.windOn = record.curtainOn = record.airOn = 1;
    record.mainBright = 70;
    record.spotBright = 2;
    record.airSpeed = 5;
    selectShownRoom();

    QWidget *shown = dashboard;
    std::function<void()> reload = [] { Devices::updateItems_sub(0, 0, 0); };
    if (screen == QLatin1String("Aircond"))
        shown = Aircond::getInstance(), reload = [] { Aircond::getInstance()->updateItems(); };
    else if (screen == QLatin1String("Curtain"))
        shown = Curtain::getInstance(), reload = [] { Curtain::getInstance()->updateItems(); };
    else if (screen == QLatin1String("Light1"))
        shown = Light1::getInstance(), reload = [] { Light1::getInstance()->updateItems(); };
    else if (screen == QLatin1String("Tv"))
        shown = Tv::getInstance(), reload = [] { Tv::getInstance()->updateItems(); };
    else if (screen == QLatin1String("Wind"))
        shown = Wind::getInstance(), reload = [] { Wind::getInstance()->updateItems(); };
    shown->show();
    reload();

    RepolishCounter counter(shown);
    reload();
    Devices::updateAllSubDevs();
    QCOMPARE(counter.count, 0);
    shown->hide();
}

void TestQuietPaths::coveredTilesTakeCaptionsAtOnceAndColoursWhenUncovered()
{
    QLabel *state = tileLabel(0, 1, true);
    QLabel *idx = tileLabel(0, 1, false);
    busControl->setItemState(1, 0, LinkNormal, 0, 0);
    QVERIFY(busControl->updatesEnabled());

    selectShownRoom();
    QVERIFY(busControl->isCovered());
    QVERIFY(!busControl->updatesEnabled());
    busControl->setItemState(1, 0, LinkAlarm, 0x80, 0);
    QCOMPARE(state->text(), QStringLiteral("警报：\n\n烟\n"));
    QCOMPARE(state->styleSheet(), normalStateQss);

    dashboard->hide();
    QVERIFY(!busControl->isCovered());
    QVERIFY(busControl->updatesEnabled());
    QCOMPARE(state->styleSheet(), alarmQss);
    QCOMPARE(idx->styleSheet(), alarmQss);
}

// A poll and its answer while covered: only the answer's colour is ever set.
void TestQuietPaths::latestColourWinsWhileCovered()
{
    QLabel *state = tileLabel(2, 3, true);
    busControl->setItemState(3, 2, LinkNormal, 0, 0);
    selectShownRoom();
    RepolishCounter counter(state);

    busControl->setItemState(3, 2, LinkRequesting, 0, 1);
    QCOMPARE(state->text(), QStringLiteral("请求中.\n...."));
    busControl->setItemState(3, 2, LinkNormal, 0, 0);
    dashboard->hide();

    QCOMPARE(state->text(), QStringLiteral("正常"));
    QCOMPARE(state->styleSheet(), normalStateQss);
    QCOMPARE(counter.count, 0);

    selectShownRoom();
    busControl->setItemState(3, 2, LinkRequesting, 0, 0);
    dashboard->hide();
    QCOMPARE(state->styleSheet(), requestingQss);
}

// Shown, without a caption, with everything it asked for painted.
QLabel *TestQuietPaths::emptiedClock() const
{
    auto *clock = dashboard->findChild<QLabel *>(QStringLiteral("label_datetime"));
    clock->clear();
    QCoreApplication::processEvents();
    return clock;
}

// The clock's label has no background: under it the dashboard's own background repaints, and
// nothing beneath that.
void TestQuietPaths::clockTickRepaintsOnlyItsRectangle()
{
    selectShownRoom();
    QVERIFY(QTest::qWaitForWindowExposed(dashboard));
    auto *background = dashboard->findChild<QFrame *>(QStringLiteral("frame"));
    QLabel *clock = emptiedClock();
    PaintRecorder recorder({dashboard, background});

    QMetaObject::invokeMethod(dashboard, "showtimeTimeout");
    QTRY_VERIFY(recorder.painted.contains(background));
    QCOMPARE(recorder.painted.value(background), QRegion(clock->geometry()));
    QVERIFY(!recorder.painted.contains(dashboard));
}

// The dashboard's background alone, or with a panel on it and a picture on the panel if one is
// given, each painted by Qt its own way.
static QImage paintedByQt(const QFrame *background, const QList<const QWidget *> &panelAndPicture)
{
    QFrame reference;
    reference.setObjectName(background->objectName());
    reference.setStyleSheet(background->styleSheet());
    reference.resize(background->size());
    QWidget *parent = &reference;
    for (const QWidget *original : panelAndPicture) {
        QWidget *likeIt = qobject_cast<const QLabel *>(original) ? new QLabel(parent) : new QFrame(parent);
        likeIt->setObjectName(original->objectName());
        likeIt->setStyleSheet(original->styleSheet());
        likeIt->setGeometry(original->geometry());
        parent = likeIt;
    }
    return reference.grab().toImage();
}

// The background the clock and the icons repaint on comes from a copy, and from small copies cut
// from it under each of them; it must be what the style paints. So must the panels' translucent
// rounded corners and the appliances' pictures, which the copy holds too.
void TestQuietPaths::backgroundFromTheCopyIsTheStylesOwn()
{
    selectShownRoom();
    QVERIFY(QTest::qWaitForWindowExposed(dashboard));
    auto *background = dashboard->findChild<QFrame *>(QStringLiteral("frame"));
    const QRect clockStrip = emptiedClock()->geometry();
    const QImage shown = background->grab().toImage();

    const QImage drawn = paintedByQt(background, {});
    // The clock alone repaints from the small copy under it.
    QCOMPARE(background->grab(clockStrip).toImage(), drawn.copy(clockStrip));
    QCOMPARE(shown.copy(alarmIconRow(dashboard)), drawn.copy(alarmIconRow(dashboard)));

    const std::pair<const char *, const char *> panelsAndPictures[] = {{"frame_top", nullptr},
                                                                       {"frame_wind", nullptr},
                                                                       {"frame_air", "label_air_img"},
                                                                       {"frame_tv", "label_tv_vol_icon"}};
    for (const auto &[panelName, pictureName] : panelsAndPictures) {
        const auto *panel = background->findChild<QFrame *>(QLatin1String(panelName));
        const auto *picture = pictureName ? panel->findChild<QLabel *>(QLatin1String(pictureName)) : nullptr;
        const QImage expected = paintedByQt(
            background, picture ? QList<const QWidget *>{panel, picture} : QList<const QWidget *>{panel});
        // A rounded corner, where nothing lies on the panel; or the whole picture.
        const QRect compared = picture ? QRect(picture->mapTo(background, QPoint(0, 0)), picture->size())
                                       : QRect(panel->geometry().topLeft(), QSize(30, 30));
        QCOMPARE(shown.copy(compared), expected.copy(compared));
        QVERIFY(shown.copy(compared) != drawn.copy(compared));
    }

    // A lit alarm icon is its picture alone, drawn without a paint event of its own.
    auto *icon = background->findChild<QLabel *>(QStringLiteral("label_jg0"));
    setPictureLit(icon, true);
    const QImage lit = background->grab(icon->geometry()).toImage();
    QCOMPARE(lit, paintedByQt(background, {icon}).copy(icon->geometry()));
    QVERIFY(lit != drawn.copy(icon->geometry()));
}

QTEST_MAIN(TestQuietPaths)
#include "tst_quietpaths.moc"
