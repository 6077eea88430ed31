#include "screens/home.h"
#include "ui_home.h"

#include "bus/controllerstates.h"
#include "screens/buscontrol.h"
#include "screens/devices.h"
#include "screens/shared/alarmboard.h"
#include "screens/shared/screeninstance.h"
#include "screens/shared/screenstack.h"

namespace {
// Lines beyond these would run off the alarm panel; the rest are counted instead.
constexpr int ShownAlarmLines = 5;
} // namespace

Home *Home::getInstance()
{
    return instanceOrCreate([] { return new Home; });
}

Home::Home(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::home)
{
    ui->setupUi(this);
    setFramelessFlags(this);
    joinScreenStack(this);
    ui->alarmBoard->setHeading(QStringLiteral("警报："));
    ui->alarmBoard->setShownLines(ShownAlarmLines);
    connect(ControllerStates::instance(), &ControllerStates::changed, this, &Home::showControllerStates);
    showControllerStates();
}

Home::~Home()
{
    delete ui;
}

void Home::paintEvent(QPaintEvent *)
{
    paintStyleSheetBackground(this);
}

// Only the two buttons act; the picture itself takes no touch.
void Home::mousePressEvent(QMouseEvent *)
{
}

void Home::on_pushButton_clicked()
{
    leaveScreen(this);
}

void Home::on_pushButton_2_clicked()
{
    BusControl::getInstance()->show();
}

// Every controller in alarm, wherever it is: the panel's way back to an alarm on a bus or in a room
// that is not in view.
void Home::showControllerStates()
{
    ui->alarmBoard->showAlarms(ControllerStates::instance()->raised());
}

// Straight to the room touched: its dashboard, icons blinking.
void Home::on_alarmBoard_roomChosen(int index, int tongdao)
{
    Devices::openController(index, tongdao);
}
