#include "controllersim.h"
#include "framelog.h"
#include "halfduplexline.h"
#include "scenario.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <optional>
#include <unistd.h>

namespace {

int quitPipe[2] = {-1, -1};

void requestQuit(int)
{
    const char byte = 'q';
    [[maybe_unused]] const ssize_t ignored = ::write(quitPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop normally, so that the links are removed.
void quitOnSignals(QCoreApplication &app)
{
    if (::pipe(quitPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, requestQuit);
    std::signal(SIGTERM, requestQuit);
    std::signal(SIGHUP, requestQuit);
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Simulated appliance controllers on four pseudo-terminals, one per bus.\n"
                       "Prints \"ch<c> <path>\" per bus, then logs every frame."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("scenario"), QStringLiteral("Scenario file."), QStringLiteral("file")},
        {QStringLiteral("controller"),
         QStringLiteral("A scenario controller line without its keyword, e.g. \"0 1 behaviour=short\"."),
         QStringLiteral("line")},
        {QStringLiteral("at"), QStringLiteral("A scenario at line without its keyword, e.g. \"20 0 1 alarm=0x80\"."),
         QStringLiteral("line")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the random behaviours (default 1)."), QStringLiteral("n")},
        {QStringLiteral("links"), QStringLiteral("Create ttyS2, ttyS4, ttyS5, ttyS7 links in dir."),
         QStringLiteral("dir")},
        {QStringLiteral("log"), QStringLiteral("Frame log file instead of stdout."), QStringLiteral("file")},
        {QStringLiteral("half-duplex"),
         QStringLiteral("Shared half-duplex lines: replies take their 9600-baud time, and panel bytes "
                        "that meet one garble both.")},
        {QStringLiteral("turnaround"),
         QStringLiteral("With --half-duplex, ms from the end of a poll to its reply (default 3)."),
         QStringLiteral("ms")},
        {QStringLiteral("port"),
         QStringLiteral("An existing terminal for the next channel instead of a new pseudo-terminal; "
                        "give it four times (channel 0 to 3)."),
         QStringLiteral("path")},
    });
}

bool buildScenario(const QCommandLineParser &parser, Scenario &scenario, QString *error)
{
    if (parser.isSet(QStringLiteral("scenario"))
        && !scenario.parseFile(parser.value(QStringLiteral("scenario")), error))
        return false;
    QString text;
    for (const QString &line : parser.values(QStringLiteral("controller")))
        text += QLatin1String("controller ") + line + QLatin1Char('\n');
    for (const QString &line : parser.values(QStringLiteral("at")))
        text += QLatin1String("at ") + line + QLatin1Char('\n');
    if (parser.isSet(QStringLiteral("seed")))
        text += QLatin1String("seed ") + parser.value(QStringLiteral("seed")) + QLatin1Char('\n');
    if (!scenario.parse(text, error)) {
        error->prepend(QStringLiteral("command line, "));
        return false;
    }
    return true;
}

// --turnaround or its default; nothing when it is not 0 to 1000 ms.
std::optional<int> turnaroundMs(const QCommandLineParser &parser)
{
    if (!parser.isSet(QStringLiteral("turnaround")))
        return HalfDuplexLine::DefaultTurnaroundMs;
    bool valid = false;
    const int ms = parser.value(QStringLiteral("turnaround")).toInt(&valid);
    if (!valid || ms < 0 || ms > 1000)
        return std::nullopt;
    return ms;
}

void printSlavePaths(const QStringList &paths)
{
    QTextStream console(stdout);
    for (int channel = 0; channel < paths.size(); ++channel)
        console << "ch" << channel << ' ' << paths.at(channel) << '\n';
    console.flush();
}

int fail(const QString &message)
{
    QTextStream(stderr) << "controller-sim: " << message << '\n';
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("controller-sim"));
    quitOnSignals(app);

    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);

    Scenario scenario;
    QString error;
    if (!buildScenario(parser, scenario, &error))
        return fail(error);

    QFile out;
    if (parser.isSet(QStringLiteral("log"))) {
        out.setFileName(parser.value(QStringLiteral("log")));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return fail(QStringLiteral("%1: %2").arg(out.fileName(), out.errorString()));
    } else if (!out.open(stdout, QIODevice::WriteOnly)) {
        return fail(QStringLiteral("cannot write to stdout"));
    }
    FrameLog log(&out);

    ControllerSim sim(scenario, scenario.seed().value_or(1), &log);
    if (parser.isSet(QStringLiteral("half-duplex"))) {
        const std::optional<int> turnaround = turnaroundMs(parser);
        if (!turnaround)
            return fail(QStringLiteral("--turnaround takes 0 to 1000 ms"));
        sim.setHalfDuplex(*turnaround);
    }
    const bool opened = parser.isSet(QStringLiteral("port"))
        ? sim.attachPorts(parser.values(QStringLiteral("port")), &error)
        : sim.openPorts(&error);
    if (!opened)
        return fail(error);
    printSlavePaths(sim.slavePaths());
    // The links come last: whoever waits for them may use the ports at once.
    if (parser.isSet(QStringLiteral("links")) && !sim.createLinks(parser.value(QStringLiteral("links")), &error))
        return fail(error);

    sim.start();
    return app.exec();
}
