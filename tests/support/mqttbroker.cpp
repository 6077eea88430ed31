#include "mqttbroker.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
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

// A port the kernel has just handed out and taken back: free, and not one a fixed number would clash on.
int freeLoopbackPort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(probe);
    return port;
}

bool loopbackPortAnswers(int port)
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    const bool answered = ::connect(probe, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    close(probe);
    return answered;
}
} // namespace

MqttBroker::MqttBroker()
{
    broker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

MqttBroker::~MqttBroker()
{
    stop();
}

bool MqttBroker::listenOnLoopback()
{
    tcpPort = freeLoopbackPort();
    return tcpPort > 0;
}

void MqttBroker::bridgeTo(const MqttBroker &remote, const QByteArray &settings)
{
    bridge = "connection remote\naddress 127.0.0.1:" + QByteArray::number(remote.port()) + '\n' + settings + '\n';
}

void MqttBroker::writeConfiguration()
{
    QByteArray text = tcpPort ? QByteArray("listener " + QByteArray::number(tcpPort) + " 127.0.0.1\n")
                              : QByteArray("listener 0 " + QFile::encodeName(socketPath()) + '\n');
    text += "allow_anonymous true\nlog_type error\nlog_type warning\nuser " + currentUser() + '\n';
    text += keepsStore
        ? QByteArray("persistence true\npersistence_location " + QFile::encodeName(folder.path()) + "/\n")
        : QByteArray("persistence false\n");
    text += bridge;
    QFile conf(folder.filePath(QStringLiteral("mosquitto.conf")));
    if (conf.open(QIODevice::WriteOnly))
        conf.write(text);
}

bool MqttBroker::start()
{
    writeConfiguration();
    broker.start(QStringLiteral("timeout"),
                 {QString::number(BrokerLifetimeSeconds), QStringLiteral("mosquitto"), QStringLiteral("-c"),
                  folder.filePath(QStringLiteral("mosquitto.conf"))});
    if (!broker.waitForStarted())
        return false;
    return QTest::qWaitFor([this] { return broker.state() == QProcess::Running && takesConnections(); },
                           ClientTimeoutMs);
}

bool MqttBroker::takesConnections() const
{
    return tcpPort ? loopbackPortAnswers(tcpPort) : QFileInfo::exists(socketPath());
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

QStringList MqttBroker::clientArguments() const
{
    if (tcpPort)
        return {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(tcpPort)};
    return {QStringLiteral("--unix"), socketPath()};
}

QByteArray MqttBroker::retained(const QString &topic) const
{
    return runClient(QStringLiteral("mosquitto_sub"),
                     clientArguments() << QStringLiteral("-t") << topic << QStringLiteral("-C") << QStringLiteral("1")
                                       << QStringLiteral("-W") << QStringLiteral("1")
                                       << QStringLiteral("--retained-only") << QStringLiteral("-N"));
}

bool MqttBroker::publish(const QString &topic, const QByteArray &payload, bool retain) const
{
    QStringList arguments = clientArguments() << QStringLiteral("-t") << topic;
    arguments << QStringLiteral("-q") << QStringLiteral("1");
    arguments << (payload.isEmpty() ? QStringList{QStringLiteral("-n")}
                                    : QStringList{QStringLiteral("-m"), QString::fromUtf8(payload)});
    if (retain)
        arguments << QStringLiteral("-r");
    QProcess client;
    client.start(QStringLiteral("mosquitto_pub"), arguments);
    return client.waitForFinished(ClientTimeoutMs) && client.exitCode() == 0;
}

bool MqttBroker::publishBurst(const QString &topic, const QList<QByteArray> &payloads) const
{
    QProcess client;
    client.start(QStringLiteral("mosquitto_pub"),
                 clientArguments() << QStringLiteral("-t") << topic << QStringLiteral("-q") << QStringLiteral("1")
                                   << QStringLiteral("-l"));
    if (!client.waitForStarted(ClientTimeoutMs))
        return false;
    for (const QByteArray &payload : payloads)
        client.write(payload + '\n');
    client.closeWriteChannel();
    return client.waitForFinished(ClientTimeoutMs) && client.exitCode() == 0;
}

std::unique_ptr<MqttSubscription> MqttBroker::subscribe(const QString &filter) const
{
    return std::make_unique<MqttSubscription>(clientArguments()
                                              << QStringLiteral("-t") << filter << QStringLiteral("-v"));
}

MqttSubscription::MqttSubscription(const QStringList &arguments)
{
    QObject::connect(&client, &QProcess::readyReadStandardOutput, &client, [this] { read(); });
    client.start(QStringLiteral("timeout"),
                 QStringList{QString::number(BrokerLifetimeSeconds), QStringLiteral("mosquitto_sub")} << arguments);
    client.waitForStarted(ClientTimeoutMs);
}

MqttSubscription::~MqttSubscription()
{
    if (client.state() == QProcess::NotRunning)
        return;
    client.terminate();
    if (!client.waitForFinished(ClientTimeoutMs)) {
        client.kill();
        client.waitForFinished();
    }
}

QList<MqttSubscription::Message> MqttSubscription::messages()
{
    read();
    return received;
}

qint64 MqttSubscription::clock()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

void MqttSubscription::read()
{
    pending += client.readAllStandardOutput();
    const qint64 now = clock();
    for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
        const QByteArray line = pending.left(end);
        pending.remove(0, end + 1);
        const int blank = line.indexOf(' ');
        received.append({QString::fromUtf8(line.left(blank < 0 ? line.size() : blank)),
                         blank < 0 ? QByteArray() : line.mid(blank + 1), now});
    }
}
