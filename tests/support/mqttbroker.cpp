#include "mqttbroker.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

namespace {
constexpr int BrokerLifetimeSeconds = 180;
constexpr int ClientTimeoutMs = 5000;

// Started as root, Mosquitto would become the user "mosquitto", who may not enter the temporary
// folder; as anyone else this line changes nothing.
QByteArray currentUser()
{
    const passwd *entry = getpwuid(getuid());
    return entry ? QByteArray(entry->pw_name) : QByteArrayLiteral("root");
}

QByteArray runClient(const QString &program, const QStringList &arguments)
{
    QProcess client;
    client.start(program, arguments);
    if (!client.waitForFinished(ClientTimeoutMs)) {
        client.kill();
        client.waitForFinished();
        return QByteArray();
    }
    return client.readAllStandardOutput();
}
} // namespace

MqttBroker::MqttBroker()
{
    QFile conf(folder.filePath(QStringLiteral("mosquitto.conf")));
    if (conf.open(QIODevice::WriteOnly)) {
        const QByteArray text = QByteArray("listener 0 ") + QFile::encodeName(socketPath())
            + "\nallow_anonymous true\npersistence false\nlog_type error\nlog_type warning\nuser " + currentUser()
            + '\n';
        conf.write(text);
    }
    broker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

MqttBroker::~MqttBroker()
{
    stop();
}

bool MqttBroker::start()
{
    broker.start(QStringLiteral("timeout"),
                 {QString::number(BrokerLifetimeSeconds), QStringLiteral("mosquitto"), QStringLiteral("-c"),
                  folder.filePath(QStringLiteral("mosquitto.conf"))});
    if (!broker.waitForStarted())
        return false;
    return QTest::qWaitFor([this] { return QFileInfo::exists(socketPath()); }, ClientTimeoutMs);
}

// SIGTERM to the time limit's process, which hands it on to the broker.
void MqttBroker::stop()
{
    if (broker.state() == QProcess::NotRunning)
        return;
    broker.terminate();
    if (!broker.waitForFinished(ClientTimeoutMs)) {
        broker.kill();
        broker.waitForFinished();
    }
}

QString MqttBroker::socketPath() const
{
    return folder.filePath(QStringLiteral("mqtt.sock"));
}

QByteArray MqttBroker::retained(const QString &topic) const
{
    return runClient(QStringLiteral("mosquitto_sub"),
                     {QStringLiteral("--unix"), socketPath(), QStringLiteral("-t"), topic, QStringLiteral("-C"),
                      QStringLiteral("1"), QStringLiteral("-W"), QStringLiteral("1"), QStringLiteral("--retained-only"),
                      QStringLiteral("-N")});
}

bool MqttBroker::publish(const QString &topic, const QByteArray &payload, bool retain) const
{
    QStringList arguments{QStringLiteral("--unix"), socketPath(), QStringLiteral("-t"), topic};
    arguments << QStringLiteral("-q") << QStringLiteral("1");
    arguments << (payload.isEmpty() ? QStringList{QStringLiteral("-n")}
                                    : QStringList{QStringLiteral("-m"), QString::fromUtf8(payload)});
    if (retain)
        arguments << QStringLiteral("-r");
    QProcess client;
    client.start(QStringLiteral("mosquitto_pub"), arguments);
    return client.waitForFinished(ClientTimeoutMs) && client.exitCode() == 0;
}
