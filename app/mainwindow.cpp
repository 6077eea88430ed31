#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/alarmboard.h"
#include "app/home.h"
#include "bus/screeninstance.h"
#include "bus/serialports.h"
#include "bus/devicetables.h"
#include "bus/housealarms.h"
#include "bus/roomlink.h"
#include "room/devices.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QRect>
#include <QSerialPort>

namespace {
// The middle of the start picture opens Home; both edges count as inside.
const QRect homeTapArea(QPoint(301, 201), QPoint(1599, 799));
// As many as Home lists, on a board of the same size.
constexpr int ShownAlarmLines = 5;
} // namespace

MainWindow *MainWindow::getInstance()
{
    return instanceOrCreate([] { return new MainWindow; });
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setFramelessFlags(this);
    ui->alarmBoard->setHeading(QStringLiteral("警报："));
    ui->alarmBoard->setShownLines(ShownAlarmLines);
    connect(HouseAlarms::instance(), &HouseAlarms::changed, this, &MainWindow::showHouseAlarms);

    openPorts();
    warnAboutClosedPorts();
    connectRoomToBus();

    for (Wire::CommandFrame &frame : cmdFrame)
        frame = Wire::initialCommandFrame();
    for (auto &channel : smallDevInfos) {
        for (SmallDevInfo &record : channel)
            record.airTemp = 18;
    }
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::openPorts()
{
    openBusPorts();
}

// The bus layer tells the dashboard through RoomLink. Its first verdict on any controller makes the
// dashboard and the appliance screens, hidden, so that they are ready before anyone opens them.
void MainWindow::connectRoomToBus()
{
    RoomLink *link = RoomLink::instance();
    connect(link, &RoomLink::linkStateChanged, this, [](int index, int tongdao, int state, unsigned char alarm) {
        Devices::createScreens();
        Devices::updateConnState(index, tongdao, state, alarm);
    });
    connect(link, &RoomLink::controllerReported, this, &Devices::controllerReported);
    connect(link, &RoomLink::controllerChosen, this, &Devices::openController);
}

// One box per missing port, one after the other. None holds start-up in a loop of its own: the
// panel is drawn, tells the service manager it is ready and polls the other buses while a box is up.
void MainWindow::warnAboutClosedPorts()
{
    QVector<int> missing;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        if (!getCom(channel)->isOpen())
            missing.append(channel);
    }
    warnAboutClosedPort(missing);
}

void MainWindow::warnAboutClosedPort(const QVector<int> &channels)
{
    if (channels.isEmpty())
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("error"),
                                QStringLiteral("没有可用串口%1").arg(channels.first() + 1), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QDialog::finished, this, [this, rest = channels.mid(1)] { warnAboutClosedPort(rest); });
    box->open();
}

QSerialPort *MainWindow::getCom(int channel)
{
    return busPort(channel);
}

FrameFate MainWindow::sendLightOpen(int tongdao, int index, int code, bool on)
{
    if (!isChannel(tongdao)) {
        qDebug("~~~sendLightOpen~~~: no channel %d, nothing sent", tongdao);
        return FrameFate::Refused;
    }
    Wire::CommandFrame &frame = cmdFrame[tongdao];
    Wire::fillSwitchCommand(frame, index, code, on);
    const FrameFate sent = writeCommandFrame(tongdao);
    qDebug("~~~sendLightOpen~~~: %d %d %d %d %d %d %d",
           frame[0], frame[1], frame[2], frame[3], frame[4], frame[5], frame[6]);
    return sent;
}

FrameFate MainWindow::sendLight(int tongdao, int index, int code, int value)
{
    if (!isChannel(tongdao)) {
        qDebug("~~~sendLight~~~: no channel %d, nothing sent", tongdao);
        return FrameFate::Refused;
    }
    Wire::CommandFrame &frame = cmdFrame[tongdao];
    Wire::fillValueCommand(frame, index, code, value);
    const FrameFate sent = writeCommandFrame(tongdao);
    qDebug("~~~sendLight~~~: %d %d %d %d %d %d %d",
           frame[0], frame[1], frame[2], frame[3], frame[4], frame[5], frame[6]);
    return sent;
}

// The controller's new state comes back with its next poll reply. A port that is not open, or whose
// line is stuck, gets nothing, and the caller hears so: it tells the person on the screen rather
// than in a line per command.
FrameFate MainWindow::writeCommandFrame(int tongdao)
{
    return sendFrame(getCom(tongdao), Wire::toBytes(cmdFrame[tongdao]));
}

// The start picture is what a panel shows after a power cut or a restart, and often all day: an
// alarm anywhere in the house shows on it.
void MainWindow::showHouseAlarms()
{
    ui->alarmBoard->showAlarms(HouseAlarms::instance()->raised());
}

void MainWindow::on_alarmBoard_roomChosen(int index, int tongdao)
{
    Devices::openController(index, tongdao);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    QMainWindow::mousePressEvent(event);
    if (homeTapArea.contains(event->localPos().toPoint())) {
        Home::getInstance()->show();
        qDebug("~~enter Home~~");
    }
}
