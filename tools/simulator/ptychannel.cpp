#include "ptychannel.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
}

constexpr int ResumeAfterHangUpMs = 200;


// Raw 9600 8N1 on a terminal, as the bus is; `what` names it in an error.
bool makeRaw9600(int fd, const QString &what, QString *error)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        *error = systemError("tcgetattr") + what;
        return false;
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        *error = systemError("tcsetattr") + what;
        return false;
    }
    return true;
}
} // namespace

PtyChannel::PtyChannel(QObject *parent)
    : QObject(parent)
    , m_resume(new QTimer(this))
{
    m_resume->setSingleShot(true);
    m_resume->setInterval(ResumeAfterHangUpMs);
}

PtyChannel::~PtyChannel()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyChannel::open(QString *error)
{
    if (!openMaster(error) || !holdSlaveOpen(error))
        return false;
    listen();
    return true;
}

bool PtyChannel::attach(const QString &path, QString *error)
{
    m_master = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) {
        *error = systemError("open") + QLatin1String(" ") + path;
        return false;
    }
    if (!makeRaw9600(m_master, QLatin1String(" ") + path, error))
        return false;
    m_slavePath = path;
    listen();
    return true;
}

void PtyChannel::listen()
{
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyChannel::readAvailable);
    connect(m_resume, &QTimer::timeout, m_notifier, [this] { m_notifier->setEnabled(true); });
}

bool PtyChannel::openMaster(QString *error)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        *error = systemError("grantpt/unlockpt");
        return false;
    }
    const char *name = ptsname(m_master);
    if (!name) {
        *error = systemError("ptsname");
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    return true;
}

bool PtyChannel::holdSlaveOpen(QString *error)
{
    // While any slave descriptor is open the master never reads EIO, so the panel may open,
    // close and reopen its port as it likes. Raw mode is a property of the terminal, shared
    // with whoever opens it next.
    m_slave = ::open(m_slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        *error = systemError("open slave");
        return false;
    }
    return makeRaw9600(m_slave, QString(), error);
}

void PtyChannel::write(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_master, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // a full terminal buffer means nobody reads: a lost reply, as on a real bus
        data += written;
        left -= written;
    }
}

void PtyChannel::readAvailable()
{
    char buffer[512];
    QByteArray bytes;
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count > 0) {
            bytes.append(buffer, int(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            pauseAfterHangUp();
        break;
    }
    if (!bytes.isEmpty())
        emit bytesArrived(bytes);
}

void PtyChannel::pauseAfterHangUp()
{
    // A hung-up master stays readable; listening on would spin.
    m_notifier->setEnabled(false);
    m_resume->start();
}
