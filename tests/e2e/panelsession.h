#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <functional>

// One line of the simulator's frame log.
struct SimLogLine
{
    double seconds = 0;
    int channel = -1;
    QString kind;     // rx, tx, junk or event
    QByteArray bytes; // rx, tx and junk
};

// The real panel, end to end: its own X server, the panel started through the namespace runner
// on simulated controllers, input through xdotool, screenshots through ImageMagick.
// Everything it starts stops in its destructor.
class PanelSession : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultWaitMs = 15000;

    explicit PanelSession(QObject *parent = nullptr);
    ~PanelSession() override;

    // Starts X, the simulator with the scenario, and the panel; returns once the main window shows.
    bool start(const QString &scenario, QString *error);
    // More arguments for the simulator (for example "--seed", "7"); set before start().
    void setSimulatorArguments(const QStringList &arguments) { m_simArguments = arguments; }
    // More arguments for the namespace runner (for example "--link", "ttyS7=PATH"); set before start().
    void setRunnerArguments(const QStringList &arguments) { m_runnerArguments = arguments; }
    // Variables ("NAME=value") for the panel alone, not the runner or the simulator; set before start().
    void setPanelEnvironment(const QStringList &assignments) { m_panelEnvironment = assignments; }
    // The panel's own process inside the runner, 0 when it is not running.
    qint64 panelPid() const;
    // Waits for the panel to end on its own; its exit status (the runner passes it on), or -1 when it
    // was killed by a signal or did not end in time.
    int waitForExit(int timeoutMs = DefaultWaitMs);
    void stop();

    int display() const { return m_display; }

    bool windowVisible(const QString &title);
    bool windowExists(const QString &title);
    // Home, the bus control screen and the dashboard are all titled "Form", and one at most is on
    // view: the window id of that one, or empty.
    QByteArray shownScreen();
    // Waits until a full-screen screen other than `previous` is the one on view; its window id.
    QByteArray waitForScreenOtherThan(const QByteArray &previous);

    // Button 1 is the left one; 2, the middle one, sets a slider where it presses.
    bool click(int x, int y, int button = 1);
    bool press(int x, int y);
    bool release(int x, int y);
    bool drag(int fromX, int fromY, int toX, int toY, int steps = 10);
    bool screenshot(const QString &path);

    // The panel's debug output (its stderr), UTF-8.
    QString debugOutput() const { return QString::fromUtf8(m_debug); }
    bool debugLineSeen(const QString &line) const;
    QStringList debugLines() const;

    QVector<SimLogLine> simulatorLog() const;
    // Frames the simulator received; channel -1 means every bus.
    QVector<QByteArray> framesReceived(int channel = -1) const;
    int pollRequestsReceived(int channel = -1) const;

    // QTRY-style helpers for conditions the QTRY macros cannot name.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = DefaultWaitMs);
    // False as soon as the condition turns false within the period.
    static bool holdsFor(const std::function<bool()> &condition, int periodMs);

private:
    bool startOnce(const QString &scenario, QString *error);
    bool startX(QString *error);
    bool startXOnce(QString *error);
    bool startPanel(const QString &scenario, QString *error);
    bool runTool(const QString &program, const QStringList &arguments, QByteArray *output = nullptr);
    bool xdotool(const QStringList &arguments, QByteArray *output = nullptr);
    QProcessEnvironment displayEnvironment() const;
    static void terminate(QProcess *process);

    QTemporaryDir m_dir;
    QProcess *m_xserver = nullptr;
    QProcess *m_panel = nullptr;
    QByteArray m_debug;
    QStringList m_simArguments;
    QStringList m_runnerArguments;
    QStringList m_panelEnvironment;
    int m_display = -1;
};
