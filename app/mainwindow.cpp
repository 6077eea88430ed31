#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/home.h"
#include "app/screeninstance.h"
#include "app/serialports.h"
#include "bus/devicetables.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QRect>
#include <QSerialPort>

namespace {
// The middle of the start picture opens Home; both edges count as inside.
const QRect homeTapArea(QPoint(301, 201), QPoint(1599, 799));
}

MainWindow *MainWindow::instance = nullptr;

MainWindow *MainWindow::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "MainWindow", [] { return new MainWindow; });
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setFramelessFlags(this);

    openPorts();
    warnAboutClosedPorts();

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
    instance = nullptr;
}

void MainWindow::openPorts()
{
    myCom1 = openBusPort(serialDeviceFiles[0]);
    myCom2 = openBusPort(serialDeviceFiles[1]);
    myCom3 = openBusPort(serialDeviceFiles[2]);
    myCom4 = openBusPort(serialDeviceFiles[3]);
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
    switch (channel) {
    case 1:
        return myCom2;
    case 2:
        return myCom3;
    case 3:
        return myCom4;
    default:
        return myCom1;
    }
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
