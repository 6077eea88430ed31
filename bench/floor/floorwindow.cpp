#include "floorwindow.h"

#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int ScreenWidth = 1920;
constexpr int ScreenHeight = 1080;
constexpr int ClockIntervalMs = 1000;
// Where the panel's dashboard has its fan switch, so that both presses land on the same spot.
const QRect frameButtonGeometry(1700, 780, 101, 51);
}

FloorWindow::FloorWindow(const QString &frameDevice, QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint)
    , clock(new QLabel(this))
{
    setGeometry(0, 0, ScreenWidth, ScreenHeight);
    clock->setGeometry(1200, 50, 601, 61);
    showTime();

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &FloorWindow::showTime);
    timer->start(ClockIntervalMs);

    if (!frameDevice.isEmpty())
        addFrameButton(frameDevice);
}

FloorWindow::~FloorWindow()
{
    if (frameFd >= 0)
        ::close(frameFd);
}

void FloorWindow::showTime()
{
    clock->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-M-d hh:mm:ss")));
}

// A raw line, as a serial port would set it, and a plain write on the click: no buffering of Qt's own.
void FloorWindow::addFrameButton(const QString &frameDevice)
{
    frameFd = ::open(frameDevice.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (frameFd >= 0) {
        termios settings{};
        if (::tcgetattr(frameFd, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(frameFd, TCSANOW, &settings);
        }
    } else {
        qWarning("panel-floor: cannot open %s", qPrintable(frameDevice));
    }
    frameButton = new QPushButton(QStringLiteral("fan"), this);
    frameButton->setCheckable(true);
    frameButton->setGeometry(frameButtonGeometry);
    connect(frameButton, &QPushButton::clicked, this, &FloorWindow::writeFrame);
}

// The fan command of controller 0, as the panel's dashboard sends it.
void FloorWindow::writeFrame(bool on)
{
    if (frameFd < 0)
        return;
    const unsigned char frame[] = {0xAA, 0x00, 0x07, static_cast<unsigned char>(on ? 0x01 : 0x02), 0x00, 0x00, 0xFF};
    [[maybe_unused]] const ssize_t written = ::write(frameFd, frame, sizeof frame);
}
