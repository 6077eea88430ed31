#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0)
        return;
    if (grantpt(masterFd) != 0 || unlockpt(masterFd) != 0) {
        closeMaster();
        return;
    }
    path = QString::fromLocal8Bit(ptsname(masterFd));
    // Holding the slave open keeps the master readable while the port under test is closed, and
    // raw mode keeps the line discipline from touching the bytes.
    slaveFd = ::open(ptsname(masterFd), O_RDWR | O_NOCTTY);
    termios raw{};
    if (slaveFd >= 0 && tcgetattr(slaveFd, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(slaveFd, TCSANOW, &raw);
    }
}

PseudoTerminal::~PseudoTerminal()
{
    closeMaster();
}

QByteArray PseudoTerminal::readAvailable()
{
    QByteArray bytes;
    if (masterFd < 0)
        return bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, int(n));
    }
    return bytes;
}

QByteArray PseudoTerminal::read(int size, int timeoutMs)
{
    QByteArray bytes;
    QElapsedTimer clock;
    clock.start();
    while (bytes.size() < size && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        bytes += readAvailable();
        if (bytes.size() < size)
            QThread::msleep(1);
    }
    return bytes;
}

QByteArray PseudoTerminal::readFor(int windowMs)
{
    return read(INT_MAX, windowMs);
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    return masterFd >= 0 && ::write(masterFd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

termios PseudoTerminal::lineSettings() const
{
    termios settings{};
    tcgetattr(masterFd, &settings);
    return settings;
}

bool PseudoTerminal::setLineSettings(const termios &settings)
{
    return tcsetattr(masterFd, TCSANOW, &settings) == 0;
}

void PseudoTerminal::closeMaster()
{
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (masterFd >= 0)
        ::close(masterFd);
    slaveFd = masterFd = -1;
}
