// The least the panel's job can cost: the dashboard in alarm as a still picture, the four buses
// polled as the panel polls them, its clock and its five blinking alarm icons, each repainted only
// where it changes. Nothing else: no screens, no styles, no state beyond the poll cycle's turn.
//
//   panel-job-floor [--picture FILE] [--switch]
//
// By default the picture is the compiled-in dashboard in alarm. With --switch it starts on a second
// full-screen window, the bus control screen's picture, and a touch on either window shows the other
// and hides itself: the least a move to the next screen can cost. Both pictures stay decoded then.

#include "screens/shared/clockcaption.h"
#include "wire/pollcycle.h"
#include "wire/smalldevinfo.h"
#include "wire/wire.h"

#include <QApplication>
#include <QDateTime>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QSerialPort>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

namespace {
constexpr int ScreenWidth = 1920;
constexpr int ScreenHeight = 1080;
// The panel's own periods: poll and read (screens/buscontrol.cpp), blink and clock (screens/devices.cpp).
constexpr int PollIntervalMs = 1000;
constexpr int ReadDelayMs = 300;
constexpr int BlinkIntervalMs = 500;
constexpr qint64 ReadBufferSize = 4096;

// Where the dashboard has its clock and its alarm icons (forms/devices.ui).
const QRect clockRect(1250, 90, 531, 91);
constexpr int ClockPointSize = 16;
const std::array<QRect, 5> iconRects = {QRect(150, 200, 40, 40), QRect(200, 200, 40, 40), QRect(250, 200, 40, 40),
                                        QRect(300, 200, 40, 40), QRect(350, 200, 40, 40)};
const QRect iconRow = iconRects.front() | iconRects.back();
const char *const iconFiles[] = {":/yangan_smalllogo.png", ":/keranqiti.png", ":/co2.png", ":/hit.png",
                                 ":/loudian.png"};
const char *const busDevices[ChannelCount] = {"/dev/ttyS2", "/dev/ttyS4", "/dev/ttyS5", "/dev/ttyS7"};

// The dashboard's background as its style sheet draws it: one picture stretched over the screen.
QPixmap backgroundStrip(const QImage &background, const QRect &rect)
{
    const qreal sx = qreal(background.width()) / ScreenWidth;
    const qreal sy = qreal(background.height()) / ScreenHeight;
    QPixmap strip(rect.size());
    QPainter painter(&strip);
    painter.drawImage(QRectF(QPointF(0, 0), rect.size()), background,
                      QRectF(rect.x() * sx, rect.y() * sy, rect.width() * sx, rect.height() * sy));
    return strip;
}

struct Bus
{
    QSerialPort *port = nullptr;
    int index = 0;
    int unanswered = 0;
    bool started = false;
};

// Opaque, so that drawing it is a copy: a picture with a palette or alpha would be blended.
QPixmap opaquePicture(const QString &file)
{
    return QPixmap::fromImage(QImage(file).convertToFormat(QImage::Format_RGB32));
}

// A full-screen picture that hands its touches on.
class StillScreen : public QWidget
{
public:
    explicit StillScreen(const QString &pictureFile)
        : QWidget(nullptr, Qt::FramelessWindowHint)
        , picture(opaquePicture(pictureFile))
    {
        setGeometry(0, 0, ScreenWidth, ScreenHeight);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    std::function<void()> touched;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.drawPixmap(event->rect(), picture, event->rect());
    }

    void mouseReleaseEvent(QMouseEvent *) override
    {
        if (touched)
            touched();
    }

private:
    QPixmap picture;
};

class JobFloor : public QWidget
{
public:
    std::function<void()> touched;

    explicit JobFloor(const QString &pictureFile, bool keepDecoded)
        : QWidget(nullptr, Qt::FramelessWindowHint)
        , picture(pictureFile)
    {
        if (keepDecoded)
            decoded = opaquePicture(picture);
        setGeometry(0, 0, ScreenWidth, ScreenHeight);
        // Every pixel is painted here; Qt need not clear anything first.
        setAttribute(Qt::WA_OpaquePaintEvent);
        clockFont = font();
        clockFont.setPointSize(ClockPointSize);

        // The picture holds an old time and one phase of the icons: under both, the clean background.
        const QImage background(QStringLiteral(":/devBg.png"));
        clockStrip = backgroundStrip(background, clockRect);
        iconStrip = backgroundStrip(background, iconRow);
        for (int icon = 0; icon < int(iconRects.size()); ++icon)
            icons[icon] = QPixmap(QString::fromLatin1(iconFiles[icon]));

        for (int channel = 0; channel < ChannelCount; ++channel)
            buses[channel].port = openBus(QString::fromLatin1(busDevices[channel]));

        caption = clockCaption(QDateTime::currentDateTime());
        readTimer.setSingleShot(true);
        connect(&readTimer, &QTimer::timeout, this, [this] { readReplies(); });
        // One tick serves all three: the icons every half second, poll and clock every other one.
        connect(&tick, &QTimer::timeout, this, [this] { onTick(); });
        tick.start(BlinkIntervalMs);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        const QRegion &dirty = event->region();
        // Only the first paint (or an expose) needs the whole picture; it is decoded for that and let go.
        if (!(dirty - clockRect - iconRow).isEmpty()) {
            if (decoded.isNull())
                painter.drawImage(0, 0, QImage(picture));
            else
                painter.drawPixmap(0, 0, decoded);
        }
        if (dirty.intersects(clockRect)) {
            painter.drawPixmap(clockRect.topLeft(), clockStrip);
            painter.setFont(clockFont);
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(clockRect, Qt::AlignLeft | Qt::AlignVCenter, caption);
        }
        if (dirty.intersects(iconRow)) {
            painter.drawPixmap(iconRow.topLeft(), iconStrip);
            if (iconsShown) {
                for (int icon = 0; icon < int(iconRects.size()); ++icon)
                    painter.drawPixmap(iconRects[icon].topLeft(), icons[icon]);
            }
        }
    }

    void mouseReleaseEvent(QMouseEvent *) override
    {
        if (touched)
            touched();
    }

private:
    QSerialPort *openBus(const QString &device)
    {
        // The panel's line settings (bus/serialports.cpp, openBusPort).
        auto *port = new QSerialPort(device, this);
        port->setBaudRate(QSerialPort::Baud9600);
        port->setDataBits(QSerialPort::Data8);
        port->setParity(QSerialPort::NoParity);
        port->setStopBits(QSerialPort::OneStop);
        port->setFlowControl(QSerialPort::NoFlowControl);
        port->setReadBufferSize(ReadBufferSize);
        if (!port->open(QIODevice::ReadWrite))
            qWarning("panel-job-floor: cannot open %s", qPrintable(device));
        return port;
    }

    void onTick()
    {
        iconsShown = !iconsShown;
        for (const QRect &rect : iconRects)
            update(rect);
        if ((polled = !polled)) {
            poll();
            caption = clockCaption(QDateTime::currentDateTime());
            update(clockRect);
        }
    }

    // As the panel's poll: the turn moves on after an answered poll, stale input is dropped, and the
    // request leaves at once. The panel's controller addresses are their indices.
    void poll()
    {
        for (Bus &bus : buses) {
            PollCycle::startPoll(bus.index, bus.unanswered, bus.started);
            if (!bus.port->isOpen())
                continue;
            bus.port->clear(QSerialPort::Input);
            bus.port->write(Wire::pollRequest(static_cast<unsigned char>(bus.index)));
            bus.port->waitForBytesWritten(0);
        }
        readTimer.start(ReadDelayMs);
    }

    void readReplies()
    {
        for (Bus &bus : buses) {
            const QByteArray reply = bus.port->isOpen() ? bus.port->readAll() : QByteArray();
            PollCycle::judgeRead(reply, bus.index, bus.unanswered);
        }
    }

    QString picture;
    QPixmap decoded;
    QPixmap clockStrip;
    QPixmap iconStrip;
    std::array<QPixmap, 5> icons;
    QFont clockFont;
    QString caption;
    bool iconsShown = false;
    bool polled = false;
    std::array<Bus, ChannelCount> buses;
    QTimer tick;
    QTimer readTimer;
};
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int option = arguments.indexOf(QStringLiteral("--picture"));
    const QString picture = option > 0 && option + 1 < arguments.size() ? arguments.at(option + 1)
                                                                        : QStringLiteral(":/bench/dashboard-alarm.png");
    const bool switching = arguments.contains(QStringLiteral("--switch"));
    JobFloor window(picture, switching);
    if (!switching) {
        window.show();
        return app.exec();
    }
    // As the panel's screens: the one shown first, then the one it covers hidden.
    StillScreen busControl(QStringLiteral(":/bench/bus-control.png"));
    busControl.touched = [&] {
        window.show();
        busControl.hide();
    };
    window.touched = [&] {
        busControl.show();
        window.hide();
    };
    busControl.show();
    return app.exec();
}
