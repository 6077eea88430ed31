#include "panelsession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

namespace {

constexpr int ToolTimeoutMs = 10000;
constexpr int StopTimeoutMs = 5000;
constexpr int XStartAttempts = 3;

QString logPath(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("sim.log"));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isPollRequest(const QByteArray &frame)
{
    return frame.size() == 5 && frame.startsWith("\xAA\x43\x58") && frame.endsWith('\xFF');
}

} // namespace

PanelSession::PanelSession(QObject *parent)
    : QObject(parent)
    , m_xserver(new QProcess(this))
    , m_panel(new QProcess(this))
{
    connect(m_panel, &QProcess::readyReadStandardError, this, [this] { m_debug += m_panel->readAllStandardError(); });
    // The panel writes nothing of interest to stdout; keep the pipe from filling.
    connect(m_panel, &QProcess::readyReadStandardOutput, this, [this] { m_panel->readAllStandardOutput(); });
}

PanelSession::~PanelSession()
{
    stop();
}

bool PanelSession::start(const QString &scenario, QString *error)
{
    if (!m_dir.isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    // Another X server going away at the same moment can take the new display's socket with it
    // after it took connections: start both again on a fresh display then.
    for (int attempt = 0; attempt < XStartAttempts; ++attempt) {
        if (startOnce(scenario, error))
            return true;
        if (!debugOutput().contains(QLatin1String("could not connect to display")))
            return false;
        stop();
        m_debug.clear();
    }
    return false;
}

bool PanelSession::startOnce(const QString &scenario, QString *error)
{
    if (!startX(error) || !startPanel(scenario, error))
        return false;
    // A port that does not open shows a modal warning before the main window.
    const auto settled = [this] {
        return m_panel->state() != QProcess::Running || windowExists(QStringLiteral("error"))
            || windowVisible(QStringLiteral("MainWindow"));
    };
    if (waitFor(settled) && windowVisible(QStringLiteral("MainWindow")))
        return true;
    *error = QStringLiteral("the main window did not show (%1); panel said:\n")
                 .arg(m_panel->state() != QProcess::Running       ? QStringLiteral("the panel ended")
                          : windowExists(QStringLiteral("error")) ? QStringLiteral("a warning box is up")
                                                                  : QStringLiteral("timed out"))
        + debugOutput();
    return false;
}

bool PanelSession::startX(QString *error)
{
    // A display another server is just giving up can vanish under a new one; try a fresh one then.
    for (int attempt = 0; attempt < XStartAttempts; ++attempt) {
        if (startXOnce(error)
            && waitFor([this] { return xdotool({QStringLiteral("getdisplaygeometry")}); }, ToolTimeoutMs))
            return true;
        terminate(m_xserver);
        *error = QStringLiteral("Xvfb on :%1 took no connection: %2")
                     .arg(m_display)
                     .arg(QString::fromLocal8Bit(readFile(m_dir.filePath(QStringLiteral("xvfb.err")))));
    }
    return false;
}

bool PanelSession::startXOnce(QString *error)
{
    // -displayfd picks a free display and tells it on stdout: no fixed numbers, no stale locks.
    m_xserver->setProcessChannelMode(QProcess::SeparateChannels);
    m_xserver->setStandardErrorFile(m_dir.filePath(QStringLiteral("xvfb.err")));
    m_xserver->start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                      QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_xserver->waitForStarted(ToolTimeoutMs)) {
        *error = QStringLiteral("Xvfb did not start: ") + m_xserver->errorString();
        return false;
    }
    QDeadlineTimer deadline(ToolTimeoutMs);
    QByteArray announced;
    while (!announced.contains('\n') && !deadline.hasExpired() && m_xserver->state() == QProcess::Running) {
        m_xserver->waitForReadyRead(int(deadline.remainingTime()));
        announced += m_xserver->readAllStandardOutput();
    }
    bool ok = false;
    m_display = announced.trimmed().toInt(&ok);
    if (!ok) {
        *error = QStringLiteral("Xvfb named no display");
        return false;
    }
    return true;
}

bool PanelSession::startPanel(const QString &scenario, QString *error)
{
    QProcessEnvironment environment = displayEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    m_panel->setProcessEnvironment(environment);
    QStringList arguments{QStringLiteral("--sim"),      QStringLiteral(CONTROLLER_SIM),
                          QStringLiteral("--scenario"), scenario,
                          QStringLiteral("--sim-log"),  logPath(m_dir)};
    for (const QString &argument : qAsConst(m_simArguments))
        arguments << QStringLiteral("--sim-arg") << argument;
    arguments << m_runnerArguments << QStringLiteral("--");
    if (!m_panelEnvironment.isEmpty())
        arguments << QStringLiteral("env") << m_panelEnvironment;
    arguments << QStringLiteral(PANEL_BINARY);
    m_panel->start(QStringLiteral(NSRUN_SCRIPT), arguments);
    if (!m_panel->waitForStarted(ToolTimeoutMs)) {
        *error = QStringLiteral("the namespace runner did not start: ") + m_panel->errorString();
        return false;
    }
    return true;
}

qint64 PanelSession::panelPid() const
{
    if (m_panel->state() != QProcess::Running)
        return 0;
    // The runner's descendants, generation by generation, until one is the panel itself.
    QVector<qint64> generation{m_panel->processId()};
    const QFileInfo panelBinary(QStringLiteral(PANEL_BINARY));
    for (int depth = 0; depth < 6 && !generation.isEmpty(); ++depth) {
        QVector<qint64> children;
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &entry : entries) {
            bool numeric = false;
            const qint64 pid = entry.toLongLong(&numeric);
            if (!numeric)
                continue;
            const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
            // The parent is the second field after the command name, which may hold blanks.
            const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
            if (fields.size() < 2 || !generation.contains(fields.at(1).toLongLong()))
                continue;
            if (readFile(QStringLiteral("/proc/%1/comm").arg(pid)).trimmed() == panelBinary.fileName().toLocal8Bit())
                return pid;
            children << pid;
        }
        generation = children;
    }
    return 0;
}

int PanelSession::waitForExit(int timeoutMs)
{
    if (m_panel->state() != QProcess::NotRunning && !m_panel->waitForFinished(timeoutMs))
        return -1;
    // A signal's death reaches the runner as 128 + the signal's number.
    return m_panel->exitStatus() == QProcess::NormalExit && m_panel->exitCode() < 128 ? m_panel->exitCode() : -1;
}

void PanelSession::stop()
{
    // The runner stops the panel and the simulator when it gets TERM.
    terminate(m_panel);
    terminate(m_xserver);
}

void PanelSession::terminate(QProcess *process)
{
    if (process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(StopTimeoutMs)) {
        process->kill();
        process->waitForFinished(StopTimeoutMs);
    }
}

QProcessEnvironment PanelSession::displayEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(m_display));
    return environment;
}

bool PanelSession::runTool(const QString &program, const QStringList &arguments, QByteArray *output)
{
    QProcess tool;
    tool.setProcessEnvironment(displayEnvironment());
    tool.start(program, arguments);
    if (!tool.waitForFinished(ToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return false;
    }
    if (output)
        *output = tool.readAllStandardOutput();
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

bool PanelSession::xdotool(const QStringList &arguments, QByteArray *output)
{
    return runTool(QStringLiteral("xdotool"), arguments, output);
}

bool PanelSession::windowVisible(const QString &title)
{
    return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                    QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')});
}

QByteArray PanelSession::shownScreen()
{
    QByteArray found;
    xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             QStringLiteral("^Form$")},
            &found);
    found = found.trimmed();
    return found.contains('\n') ? QByteArray() : found;
}

QByteArray PanelSession::waitForScreenOtherThan(const QByteArray &previous)
{
    QByteArray shown;
    waitFor([&] {
        shown = shownScreen();
        return !shown.isEmpty() && shown != previous;
    });
    return shown != previous ? shown : QByteArray();
}

bool PanelSession::windowExists(const QString &title)
{
    return xdotool({QStringLiteral("search"), QStringLiteral("--name"),
                    QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')});
}

bool PanelSession::click(int x, int y, int button)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y), QStringLiteral("click"),
                    QString::number(button)});
}

bool PanelSession::press(int x, int y)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y), QStringLiteral("mousedown"),
                    QStringLiteral("1")});
}

bool PanelSession::release(int x, int y)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y), QStringLiteral("mouseup"),
                    QStringLiteral("1")});
}

bool PanelSession::drag(int fromX, int fromY, int toX, int toY, int steps)
{
    if (!press(fromX, fromY))
        return false;
    for (int step = 1; step <= steps; ++step) {
        const int x = fromX + (toX - fromX) * step / steps;
        const int y = fromY + (toY - fromY) * step / steps;
        if (!xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y)}))
            return false;
    }
    return release(toX, toY);
}

bool PanelSession::screenshot(const QString &path)
{
    return runTool(QStringLiteral("import"),
                   {QStringLiteral("-display"), QStringLiteral(":%1").arg(m_display), QStringLiteral("-window"),
                    QStringLiteral("root"), path});
}

QStringList PanelSession::debugLines() const
{
    return debugOutput().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool PanelSession::debugLineSeen(const QString &line) const
{
    return debugLines().contains(line);
}

QVector<SimLogLine> PanelSession::simulatorLog() const
{
    QFile file(logPath(m_dir));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QVector<SimLogLine> lines;
    static const QRegularExpression format(QStringLiteral("^(\\d+\\.\\d+) ch(\\d) (\\w+) (.*)$"));
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QRegularExpressionMatch match = format.match(QString::fromUtf8(raw));
        if (!match.hasMatch())
            continue; // a line still being written
        SimLogLine line{match.captured(1).toDouble(), match.captured(2).toInt(), match.captured(3), {}};
        if (line.kind != QLatin1String("event"))
            line.bytes = QByteArray::fromHex(match.captured(4).toLatin1());
        lines.append(line);
    }
    return lines;
}

QVector<QByteArray> PanelSession::framesReceived(int channel) const
{
    QVector<QByteArray> frames;
    for (const SimLogLine &line : simulatorLog()) {
        if (line.kind == QLatin1String("rx") && (channel < 0 || line.channel == channel))
            frames.append(line.bytes);
    }
    return frames;
}

int PanelSession::pollRequestsReceived(int channel) const
{
    const QVector<QByteArray> frames = framesReceived(channel);
    return int(std::count_if(frames.begin(), frames.end(), isPollRequest));
}

bool PanelSession::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

bool PanelSession::holdsFor(const std::function<bool()> &condition, int periodMs)
{
    QDeadlineTimer deadline(periodMs);
    while (!deadline.hasExpired()) {
        if (!condition())
            return false;
        QTest::qWait(50);
    }
    return condition();
}
