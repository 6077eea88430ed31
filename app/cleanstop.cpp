#include "app/cleanstop.h"

#include "bus/serialports.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
// Read end and write end. The handler may do no more than write() a byte (async-signal-safe);
// the event loop picks it up.
int stopPipe[2] = {-1, -1};

constexpr int StopSignals[] = {SIGTERM, SIGINT, SIGHUP};
} // namespace

CleanStop::CleanStop(QObject *parent)
    : QObject(parent)
{
    // Closing on aboutToQuit also covers an end of the event loop that did not come from a signal.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [] { closeBusPorts(); });
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("no pipe for the stop signals: %s", strerror(errno));
        return;
    }
    m_notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CleanStop::stop);
    struct sigaction action
    {
    };
    action.sa_handler = &CleanStop::handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : StopSignals)
        ::sigaction(number, &action, nullptr);
}

CleanStop::~CleanStop()
{
    struct sigaction action
    {
    };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int number : StopSignals)
        ::sigaction(number, &action, nullptr);
    delete m_notifier;
    for (int &fd : stopPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void CleanStop::handleSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a stop request.
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
    errno = savedErrno;
}

void CleanStop::stop()
{
    char bytes[16];
    while (::read(stopPipe[0], bytes, sizeof bytes) > 0) {}
    QCoreApplication::quit();
}
