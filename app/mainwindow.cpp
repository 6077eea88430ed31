#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/home.h"
#include "bus/screeninstance.h"
#include "bus/serialports.h"
#include "bus/devicetables.h"
#include "bus/roomlink.h"
#include "room/devices.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QRect>
#include <QSerialPort>

namespace {
// The middle of the start picture opens Home; both edges count as inside.
const QRect homeTapArea(QPoint(301, 201), QPoint(1599, 799));
}

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

// One box per missing port, one after the other: start-up goes on when each is closed.
void MainWindow::warnAboutClosedPorts()
{
    for (int channel = 0; channel < ChannelCount; ++channel) {
        if (!getCom(channel)->isOpen()) {
            QMessageBox::warning(this, QStringLiteral("error"),
                                 QStringLiteral("没有可用串口%1").arg(channel + 1), QMessageBox::Ok);
        }
    }
}

QSerialPort *MainWindow::getCom(int channel)
{
    return busPort(channel);
}

bool MainWindow::sendLightOpen(int tongdao, int index, int code, bool on)
{
    if (!isChannel(tongdao)) {
        qDebug("~~~sendLightOpen~~~: no channel %d, nothing sent", tongdao);
        return false;
    }
    Wire::CommandFrame &frame = cmdFrame[tongdao];
    Wire::fillSwitchCommand(frame, index, code, on);
    const bool sent = writeCommandFrame(tongdao);
    qDebug("~~~sendLightOpen~~~: %d %d %d %d %d %d %d",
           frame[0], frame[1], frame[2], frame[3], frame[4], frame[5], frame[6]);
    return sent;
}

bool MainWindow::sendLight(int tongdao, int index, int code, int value)
{
    if (!isChannel(tongdao)) {
        qDebug("~~~sendLight~~~: no channel %d, nothing sent", tongdao);
        return false;
    }
    Wire::CommandFrame &frame = cmdFrame[tongdao];
    Wire::fillValueCommand(frame, index, code, value);
    const bool sent = writeCommandFrame(tongdao);
    qDebug("~~~sendLight~~~: %d %d %d %d %d %d %d",
           frame[0], frame[1], frame[2], frame[3], frame[4], frame[5], frame[6]);
    return sent;
}

// The controller's new state comes back with its next poll reply. A port that is not open, or whose
// line is stuck, gets nothing, and the caller hears so: it tells the person on the screen rather
// than in a line per command.
bool MainWindow::writeCommandFrame(int tongdao)
{
    return writeFrame(getCom(tongdao), Wire::toBytes(cmdFrame[tongdao]));
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    QMainWindow::mousePressEvent(event);
    if (homeTapArea.contains(event->localPos().toPoint())) {
        Home::getInstance()->show();
        qDebug("~~enter Home~~");
    }
}
