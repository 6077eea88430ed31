#include "app/mainwindow.h"
#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "screens/devices.h"

#include "appliancefixture.h"
#include "messagelog.h"
#include "paneltest.h"

#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QSlider>
#include <QtTest>

#include <cstddef>
#include <cstring>
#include <iterator>

// Every appliance switch on its screen, a row each: the frame it sends, the record and the dashboard
// tile that follow, and what it does when no frame can go. What only one screen has stays in that
// screen's own suite.
class TestApplianceSwitches : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    // Runs first, while no screen was reloaded.
    void eachScreenIsItsOwnWindow_data();
    void eachScreenIsItsOwnWindow();
    void withoutControllerAReloadChangesNothing_data();
    void withoutControllerAReloadChangesNothing();
    void switchSendsAndEveryViewFollows_data();
    void switchSendsAndEveryViewFollows();
    void withoutControllerNothingIsSent_data();
    void withoutControllerNothingIsSent();

private:
    ApplianceFixture fixture;
    QHash<QString, QStringList> buildLogs;
};

namespace {
// A switch is a checkable button; the curtain has a button each way and its caption shows the state.
// The looks are what the sheet (and a label's text before it) holds on and off. `logOn`/`logOff` are
// the lines the press logs; `logsAlone` when it logs them with no controller shown too. The dashboard's
// light tile follows the main circuit only.
struct Switch
{
    const char *name, *screen, *onButton, *offButton;
    int code, field;
    const char *tile, *look, *onLook, *offLook, *logOn, *logOff;
    bool logsAlone;
    int tongdao, index;
};

const char *const swOn = "url(:/swon.png)";
const char *const swOff = "url(:/swoff.png)";
const Switch switches[] = {
    {"air conditioner", "Aircond", "btn_onoff", "btn_onoff", 6, offsetof(SmallDevInfo, airOn), "btn_air_onoff",
     "btn_onoff", "url(:/onoff1.png)", "url(:/onoff.png)", "", "", false, 2, 1},
    {"television", "Tv", "btn_onoff", "btn_onoff", 5, offsetof(SmallDevInfo, tvOn), "btn_tv_onoff", "btn_onoff", swOn,
     swOff, "on_btn_onoff_clicked 1", "on_btn_onoff_clicked 0", true, 1, 2},
    {"fan", "Wind", "btn_onoff", "btn_onoff", 7, offsetof(SmallDevInfo, windOn), "btn_wind_onoff", "btn_onoff", swOn,
     swOff, "on_btn_onoff_clicked 1", "on_btn_onoff_clicked 0", true, 3, 1},
    {"main light", "Light1", "btn_sw_main", "btn_sw_main", 10, offsetof(SmallDevInfo, mainOn), "btn_light_onoff",
     "btn_sw_main", swOn, swOff, "on_btn_sw_main_clicked: 1", "on_btn_sw_main_clicked: 0", false, 1, 2},
    {"light belt", "Light1", "btn_sw_lightbelt", "btn_sw_lightbelt", 8, offsetof(SmallDevInfo, lightbeltOn), "",
     "btn_sw_lightbelt", swOn, swOff, "on_btn_sw_lightbelt_clicked: 1", "on_btn_sw_lightbelt_clicked: 0", false, 0, 0},
    {"spot light", "Light1", "btn_sw_spot", "btn_sw_spot", 9, offsetof(SmallDevInfo, spotOn), "", "btn_sw_spot", swOn,
     swOff, "on_btn_sw_spot_clicked: 1", "on_btn_sw_spot_clicked: 0", false, 3, 3},
    {"curtain", "Curtain", "btn_on", "btn_off", 4, offsetof(SmallDevInfo, curtainOn), "btn_curtain_onoff",
     "label_onoff", "开|color: rgb(115, 210, 22);", "关|color: rgb(200, 20, 20);", "on_btn_on_clicked ",
     "on_btn_off_clicked ", true, 0, 3},
};

void addSwitchRows()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(switches)); ++row)
        QTest::newRow(switches[row].name) << row;
}

void addScreenRows()
{
    QTest::addColumn<QString>("screenName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("back");
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QString>("onLook");
    QTest::newRow("air conditioner") << "Aircond"
                                     << "空调"
                                     << "pushButton"
                                     << "btn_onoff"
                                     << "url(:/onoff1.png)";
    QTest::newRow("television") << "Tv"
                                << "电视"
                                << "btn_return1"
                                << "btn_onoff" << swOn;
    QTest::newRow("fan") << "Wind"
                         << "风扇"
                         << "btn_return"
                         << "btn_onoff" << swOn;
    QTest::newRow("light") << "Light1"
                           << "灯"
                           << "btn_return"
                           << "btn_sw_main" << swOn;
    QTest::newRow("curtain") << "Curtain"
                             << "窗帘"
                             << "bnt_return"
                             << ""
                             << "";
}

const Switch &fetchSwitch()
{
    QFETCH(int, row);
    return switches[row];
}

QWidget *shownScreen(const Switch &s)
{
    QWidget *screen = ApplianceFixture::screen(QLatin1String(s.screen));
    ApplianceFixture::show(screen);
    return screen;
}

QPushButton *buttonFor(QWidget *screen, const Switch &s, bool on)
{
    return screen->findChild<QPushButton *>(QLatin1String(on ? s.onButton : s.offButton));
}

// What marks the state: a label's text and sheet, a button's sheet.
QString lookOf(QWidget *screen, const Switch &s)
{
    QWidget *widget = screen->findChild<QWidget *>(QLatin1String(s.look));
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text() + QLatin1Char('|') + label->styleSheet();
    return widget ? widget->styleSheet() : QString();
}

bool looksOn(QWidget *screen, const Switch &s, bool on)
{
    return lookOf(screen, s).contains(QString::fromUtf8(on ? s.onLook : s.offLook));
}

QStringList logFor(const Switch &s, bool on)
{
    const QString line = QLatin1String(on ? s.logOn : s.logOff);
    return line.isEmpty() ? QStringList() : QStringList{line};
}

// Everything a screen shows, for seeing that an action left it alone.
QStringList screenState(const QWidget *screen)
{
    QStringList state;
    for (const QWidget *widget : screen->findChildren<QWidget *>()) {
        QString shown = widget->objectName() + QLatin1Char(' ') + widget->styleSheet();
        if (auto *button = qobject_cast<const QPushButton *>(widget))
            shown += QString::number(button->isChecked());
        else if (auto *slider = qobject_cast<const QSlider *>(widget))
            shown += QString::number(slider->value());
        else if (auto *label = qobject_cast<const QLabel *>(widget))
            shown += label->text();
        state << shown;
    }
    return state;
}

// The record and every view loaded as the dashboard loads them before a touch.
void showController(const Switch &s, bool on)
{
    ApplianceFixture::select(s.index, s.tongdao);
    reinterpret_cast<unsigned char *>(&smallDevInfos[s.tongdao][s.index])[s.field] = on ? 1 : 0;
    Devices::updateItems_sub(s.index, s.tongdao, Devices::AllTiles);
    Devices::updateAllSubDevs();
}
} // namespace

// The screens are built here, before a test's init() makes the dashboard, which asks for them all.
void TestApplianceSwitches::initTestCase()
{
    QVERIFY(fixture.start());
    for (const char *name : {"Aircond", "Tv", "Wind", "Light1", "Curtain"}) {
        QVERIFY(!ApplianceFixture::exists(QLatin1String(name)));
        MessageLog::clear();
        ApplianceFixture::screen(QLatin1String(name));
        buildLogs[QLatin1String(name)] = MessageLog::lines();
    }
}

void TestApplianceSwitches::init()
{
    fixture.reset();
}

void TestApplianceSwitches::eachScreenIsItsOwnWindow_data()
{
    addScreenRows();
}

// Built once, on first use, with its switch off: the record is loaded by the reload the dashboard
// asks for before showing it. Hidden (not destroyed) by its back button.
void TestApplianceSwitches::eachScreenIsItsOwnWindow()
{
    QFETCH(QString, screenName);
    QFETCH(QString, title);
    QFETCH(QString, back);
    QFETCH(QString, toggle);
    QFETCH(QString, onLook);
    QWidget *screen = ApplianceFixture::screen(screenName);
    QCOMPARE(buildLogs.value(screenName), QStringList{QStringLiteral("new ") + screenName});
    QVERIFY(ApplianceFixture::exists(screenName));
    const QString mismatch = PanelTest::applianceWindowMismatch(screen, title);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    if (!toggle.isEmpty()) {
        QVERIFY(!screen->findChild<QPushButton *>(toggle)->isChecked());
        QVERIFY(!screen->findChild<QPushButton *>(toggle)->styleSheet().contains(onLook));
    }

    QVERIFY(ApplianceFixture::show(screen));
    QTest::mouseClick(screen->findChild<QPushButton *>(back), Qt::LeftButton);
    QVERIFY(screen->isHidden());
    QCOMPARE(ApplianceFixture::screen(screenName), screen);
    QCOMPARE(MessageLog::count(QStringLiteral("new ") + screenName), 0);
    QCOMPARE(fixture.anySent(), QByteArray());
}

void TestApplianceSwitches::withoutControllerAReloadChangesNothing_data()
{
    addScreenRows();
}

// After the dashboard's return the screen keeps what it showed, whatever the records hold.
void TestApplianceSwitches::withoutControllerAReloadChangesNothing()
{
    QFETCH(QString, screenName);
    QWidget *screen = ApplianceFixture::screen(screenName);
    QVERIFY(ApplianceFixture::show(screen));
    ApplianceFixture::select(1, 1);
    Devices::updateAllSubDevs();
    const QStringList shown = screenState(screen);
    for (auto &channel : smallDevInfos) {
        for (SmallDevInfo &record : channel)
            std::memset(&record, 60, sizeof record);
    }
    ApplianceFixture::select(-1, 1);
    MessageLog::clear();

    Devices::updateAllSubDevs();

    QCOMPARE(screenState(screen), shown);
    QCOMPARE(MessageLog::lines(), QStringList());
    QCOMPARE(fixture.anySent(), QByteArray());
}

void TestApplianceSwitches::switchSendsAndEveryViewFollows_data()
{
    addSwitchRows();
}

// A reply moves the switch unless a finger holds it; a refused command (its port closed, as after a
// hang-up, or the controller judged disconnected) leaves everything as the controller holds it and
// the screen says why; otherwise on, then off: the frame on the controller's bus alone, its one record
// field, the look on the screen, and the dashboard's tile.
void TestApplianceSwitches::switchSendsAndEveryViewFollows()
{
    const Switch &s = fetchSwitch();
    QWidget *screen = shownScreen(s);
    showController(s, false);
    SmallDevInfo &record = smallDevInfos[s.tongdao][s.index];
    QPushButton *toggle = buttonFor(screen, s, true);
    if (toggle->isCheckable()) {
        toggle->setDown(true);
        reinterpret_cast<unsigned char *>(&record)[s.field] = 1;
        Devices::controllerReported(s.index, s.tongdao);
        const bool movedUnderTheFinger = toggle->isChecked();
        toggle->setDown(false);
        QVERIFY(!movedUnderTheFinger);
        for (const unsigned char reported : {1, 2, 0}) {
            reinterpret_cast<unsigned char *>(&record)[s.field] = reported;
            Devices::controllerReported(s.index, s.tongdao);
            QCOMPARE(toggle->isChecked(), reported != 0);
            QVERIFY2(looksOn(screen, s, reported != 0), qPrintable(lookOf(screen, s)));
        }
        QCOMPARE(MessageLog::matching(QStringLiteral("on_")), QStringList());
    }

    for (const bool portClosed : {true, false}) {
        const QByteArray tables = deviceTablesSnapshot();
        const QString lookBefore = lookOf(screen, s);
        QString why = QStringLiteral("通道%1  Control - %2 无应答，未发送").arg(s.tongdao + 1).arg(s.index);
        if (portClosed) {
            MainWindow::getCom(s.tongdao)->close();
            why = QStringLiteral("没有可用串口%1，未发送").arg(s.tongdao + 1);
        } else {
            ControllerStates::instance()->markSilent(s.index, s.tongdao);
        }

        QTest::mouseClick(toggle, Qt::LeftButton);

        const bool reopened = !portClosed || MainWindow::getCom(s.tongdao)->open(QIODevice::ReadWrite);
        ControllerStates::instance()->reset();
        QVERIFY(reopened);
        QVERIFY(!toggle->isChecked());
        QCOMPARE(lookOf(screen, s), lookBefore);
        QCOMPARE(deviceTablesSnapshot(), tables);
        auto *notice = screen->findChild<QLabel *>(QStringLiteral("commandNotice"));
        QVERIFY(notice && notice->isVisible());
        QCOMPARE(notice->text(), why);
        notice->hide();
    }
    QCOMPARE(fixture.anySent(), QByteArray());

    QWidget *dashboard = Devices::getInstance(s.index, s.tongdao, false);
    for (const bool on : {true, false}) {
        const QByteArray expectedTables = ApplianceFixture::tablesWith(s.tongdao, s.index, s.field, on ? 1 : 0);
        MessageLog::clear();
        QPushButton *pressed = buttonFor(screen, s, on);

        QTest::mouseClick(pressed, Qt::LeftButton);

        const QByteArray frame = ApplianceFixture::switchFrame(s.index, s.code, on);
        QCOMPARE(fixture.read(s.tongdao, frame.size()).toHex(' '), frame.toHex(' '));
        QCOMPARE(fixture.anySent(), QByteArray());
        QCOMPARE(deviceTablesSnapshot(), expectedTables);
        QVERIFY2(looksOn(screen, s, on), qPrintable(lookOf(screen, s)));
        QCOMPARE(pressed->isChecked(), pressed->isCheckable() && on);
        QCOMPARE(MessageLog::matching(QStringLiteral("on_")), logFor(s, on));
        if (*s.tile) {
            QCOMPARE(dashboard->findChild<QPushButton *>(QLatin1String(s.tile))->isChecked(), on);
            const QString state = QString::fromLatin1(s.tile).replace(QStringLiteral("btn_"), QStringLiteral("label_"));
            QCOMPARE(dashboard->findChild<QLabel *>(state)->text(), on ? QStringLiteral("ON") : QStringLiteral("OFF"));
        }
    }
}

void TestApplianceSwitches::withoutControllerNothingIsSent_data()
{
    addSwitchRows();
}

// None shown, or one off the buses: a switch then acts on its own look only; the curtain's caption
// stays, as nothing moved.
void TestApplianceSwitches::withoutControllerNothingIsSent()
{
    const Switch &s = fetchSwitch();
    QWidget *screen = shownScreen(s);
    const QPoint selections[] = {{-1, -1}, {-1, 2}, {1, -1}, {4, 0}, {0, 4}};

    for (const QPoint &selection : selections) {
        ApplianceFixture::select(selection.x(), selection.y());
        const QByteArray tables = deviceTablesSnapshot();
        QStringList logged;
        MessageLog::clear();
        for (const bool on : {true, false}) {
            QPushButton *pressed = buttonFor(screen, s, on);
            const bool wasChecked = pressed->isChecked();
            const QString lookBefore = lookOf(screen, s);

            QTest::mouseClick(pressed, Qt::LeftButton);

            const bool asked = pressed->isCheckable() ? !wasChecked : on;
            if (s.logsAlone)
                logged += logFor(s, asked);
            if (pressed->isCheckable()) {
                QCOMPARE(pressed->isChecked(), asked);
                QVERIFY2(looksOn(screen, s, asked), qPrintable(lookOf(screen, s)));
            } else {
                QCOMPARE(lookOf(screen, s), lookBefore);
            }
        }
        QCOMPARE(fixture.anySent(), QByteArray());
        QCOMPARE(deviceTablesSnapshot(), tables);
        QCOMPARE(MessageLog::matching(QStringLiteral("on_")), logged);
        QCOMPARE(MessageLog::matching(QStringLiteral("~~~")), QStringList());
    }
}

QTEST_MAIN(TestApplianceSwitches)
#include "tst_applianceswitches.moc"
