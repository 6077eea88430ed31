#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "bus/controllerstates.h"
#include "bus/devicetables.h"
#include "bus/serialports.h"
#include "screens/devices.h"
#include "screens/home.h"
#include "screens/shared/alarmboard.h"
#include "screens/shared/screeninstance.h"
#include "screens/shared/screenstack.h"

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
    joinScreenStack(this);
    ui->alarmBoard->setHeading(QStringLiteral("警报："));
    ui->alarmBoard->setShownLines(ShownAlarmLines);
    connect(ControllerStates::instance(), &ControllerStates::changed, this, &MainWindow::showControllerStates);

    openPorts();
    warnAboutClosedPorts();

    Commands::instance()->reset();
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

// The start picture is what a panel shows after a power cut or a restart, and often all day: an
// alarm anywhere in the house shows on it.
void MainWindow::showControllerStates()
{
    ui->alarmBoard->showAlarms(ControllerStates::instance()->raised());
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
