#include "app/mainwindow.h"
#include "bus/controllerstates.h"
#include "remote/remotelink.h"
#include "screens/devices.h"

#include "busterminals.h"
#include "mqttbroker.h"
#include "paneltest.h"
#include "replies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QtTest>

// The remote link against a broker of the test's own, with the buses on pseudo-terminals. The
// controller on bus 1 at index 2 has answered; the others are silent addresses.
class TestRemoteLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void onlineIsRetained();
    void discoveryOfAnsweredController_data();
    void discoveryOfAnsweredController();
    void silentAddressIsNoDevice();
    void commandReachesTheBus();
    void retainedCommandIsDropped();
    void commandsBeyondTheRateAreNotObeyed();
    void discoveryAgainWhenHomeAssistantComesBack();
    void reconnectsAfterBrokerRestart();

private:
    QJsonObject discovery() const;

    BusTerminals buses;
    MqttBroker broker;
    RemoteLink *link = nullptr;
};

namespace {
constexpr int Bus = 1;
constexpr int Controller = 2;
const QString Status = QStringLiteral("panel/test/status");
const QString Discovered = QStringLiteral("homeassistant/device/test_c1d2/config");
const QString FanCommand = QStringLiteral("panel/test/1/2/fan/set");

void componentRow(const char *name, const char *component, const char *platform, const char *deviceClass)
{
    QTest::newRow(name) << QString::fromLatin1(component) << QString::fromLatin1(platform)
                        << QString::fromLatin1(deviceClass);
}
} // namespace

void TestRemoteLink::initTestCase()
{
    PanelTest::prepareApplication();
    QVERIFY(buses.openMainWindow());
    QVERIFY(broker.start());
    link = new RemoteLink(broker.socketPath(), QStringLiteral("test"), MainWindow::getInstance());
    link->start();
    QTRY_VERIFY(link->isConnected());
    ControllerStates::instance()->report(Controller, Bus, AlarmSmoke);
    ControllerStates::instance()->recordReplaced(Controller, Bus);
}

void TestRemoteLink::cleanupTestCase()
{
    delete link;
    broker.stop();
}

QJsonObject TestRemoteLink::discovery() const
{
    return QJsonDocument::fromJson(broker.retained(Discovered)).object();
}

void TestRemoteLink::onlineIsRetained()
{
    QTRY_COMPARE(broker.retained(Status), QByteArray("online"));
}

void TestRemoteLink::discoveryOfAnsweredController_data()
{
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("deviceClass");

    componentRow("smoke", "smoke", "binary_sensor", "smoke");
    componentRow("gas", "gas", "binary_sensor", "gas");
    componentRow("CO2 is no carbon monoxide", "co2", "binary_sensor", "safety");
    componentRow("temperature", "temperature", "binary_sensor", "heat");
    componentRow("leakage", "leakage", "binary_sensor", "safety");
    componentRow("other alarm bits", "other", "binary_sensor", "problem");
    componentRow("link", "link", "binary_sensor", "connectivity");
    componentRow("main light", "main_light", "light", "");
    componentRow("light belt", "light_belt", "light", "");
    componentRow("spot light", "spot_light", "light", "");
    componentRow("fan", "fan", "fan", "");
    componentRow("curtain", "curtain", "cover", "");
    componentRow("air conditioner", "air_conditioner", "climate", "");
    componentRow("television", "television", "switch", "");
    componentRow("clear alarms", "clear_alarms", "button", "");
}

void TestRemoteLink::discoveryOfAnsweredController()
{
    QFETCH(QString, component);
    QFETCH(QString, platform);
    QFETCH(QString, deviceClass);

    QTRY_VERIFY(!discovery().isEmpty());
    const QJsonObject config = discovery();
    QCOMPARE(config[QStringLiteral("device")][QStringLiteral("via_device")].toString(), QStringLiteral("test"));
    QCOMPARE(config[QStringLiteral("availability_mode")].toString(), QStringLiteral("all"));
    QCOMPARE(config[QStringLiteral("components")].toObject().size(), 15);
    const QJsonObject entity = config[QStringLiteral("components")][component].toObject();
    QCOMPARE(entity[QStringLiteral("platform")].toString(), platform);
    QCOMPARE(entity[QStringLiteral("device_class")].toString(), deviceClass);
    QVERIFY(entity[QStringLiteral("unique_id")].toString().startsWith(QStringLiteral("test_c1d2_")));
    if (component == QLatin1String("smoke"))
        QCOMPARE(broker.retained(entity[QStringLiteral("state_topic")].toString()), QByteArray("ON"));
}

void TestRemoteLink::silentAddressIsNoDevice()
{
    QCOMPARE(broker.retained(QStringLiteral("homeassistant/device/test_c0d0/config")), QByteArray());
}

// A command from the broker shows on the dashboard as a touch would, and a touch reaches the
// broker at once, not with the controller's next full reply.
void TestRemoteLink::commandReachesTheBus()
{
    Devices::createScreens();
    Devices::openController(Controller, Bus);
    const auto *fanSwitch = Devices::getInstance(Controller, Bus, false)->findChild<QPushButton *>("btn_wind_onoff");
    const QString fanState = QStringLiteral("panel/test/1/2/fan/state");
    buses.discardPending();
    QVERIFY(broker.publish(FanCommand, "ON"));

    QCOMPARE(buses.read(Bus, Wire::CommandFrameSize).toHex(' '), QByteArray("aa 02 07 01 00 00 ff"));
    QTRY_COMPARE(broker.retained(fanState), QByteArray("ON"));
    QVERIFY(fanSwitch->isChecked());

    QCOMPARE(ShownController::current().switchAppliance(Wire::Fan, false, nullptr), CommandResult::Sent);
    QTRY_COMPARE(broker.retained(fanState), QByteArray("OFF"));
}

void TestRemoteLink::retainedCommandIsDropped()
{
    buses.discardPending();
    const int dropped = link->counters().retainedDropped;
    QVERIFY(broker.publish(FanCommand, "OFF", true));

    QTRY_COMPARE(link->counters().retainedDropped, dropped + 1);
    QCOMPARE(buses.anySent(), QByteArray());
    QVERIFY(broker.publish(FanCommand, QByteArray(), true));
}

void TestRemoteLink::commandsBeyondTheRateAreNotObeyed()
{
    // A controller of its own: no command of another test counts against its rate.
    const QString fanOfController3 = QStringLiteral("panel/test/1/3/fan/set");
    buses.discardPending();
    const int limited = link->counters().rateLimited;
    // One client, one line a message: they arrive within the same second however busy the machine.
    QProcess publisher;
    publisher.start(QStringLiteral("mosquitto_pub"),
                    {QStringLiteral("--unix"), broker.socketPath(), QStringLiteral("-t"), fanOfController3,
                     QStringLiteral("-l")});
    QVERIFY(publisher.waitForStarted());
    for (int command = 0; command < RemoteLink::CommandsPerSecond + 2; ++command)
        publisher.write(command % 2 ? "OFF\n" : "ON\n");
    publisher.closeWriteChannel();
    QVERIFY(publisher.waitForFinished());

    QTRY_COMPARE(link->counters().rateLimited, limited + 2);
    const QByteArray frames = buses.channel(Bus).readFor(500);
    QCOMPARE(frames.size(), RemoteLink::CommandsPerSecond * Wire::CommandFrameSize);
}

void TestRemoteLink::discoveryAgainWhenHomeAssistantComesBack()
{
    QTRY_VERIFY(!discovery().isEmpty());
    QVERIFY(broker.publish(Discovered, QByteArray(), true));
    QVERIFY(discovery().isEmpty());

    QVERIFY(broker.publish(QStringLiteral("homeassistant/status"), "online"));
    QTRY_VERIFY_WITH_TIMEOUT(!discovery().isEmpty(), 8000);
}

void TestRemoteLink::reconnectsAfterBrokerRestart()
{
    broker.stop();
    QTRY_VERIFY(!link->isConnected());
    QVERIFY(broker.start());

    QTRY_COMPARE_WITH_TIMEOUT(broker.retained(Status), QByteArray("online"), 20000);
    QTRY_VERIFY(!discovery().isEmpty());
}

QTEST_MAIN(TestRemoteLink)
#include "tst_remotelink.moc"
