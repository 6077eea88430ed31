#include "app/home.h"
#include "ui_home.h"

#include "bus/screeninstance.h"
#include "bus/buscontrol.h"
#include "bus/housealarms.h"

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
    connect(HouseAlarms::instance(), &HouseAlarms::changed, this, &Home::showHouseAlarms);
    showHouseAlarms();
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
    hide();
}

void Home::on_pushButton_2_clicked()
{
    BusControl::getInstance()->show();
}

// Every controller in alarm, wherever it is: the panel's way back to an alarm on a bus or in a room
// that is not in view.
void Home::showHouseAlarms()
{
    const QVector<HouseAlarms::Raised> alarms = HouseAlarms::instance()->raised();
    ui->btn_alarm->setVisible(!alarms.isEmpty());
    if (alarms.isEmpty())
        return;
    ui->btn_alarm->setText(alarmListing(QStringLiteral("警报："), alarms, ShownAlarmLines));
}

// Opens the bus control screen on the channel of the first alarm listed.
void Home::on_btn_alarm_clicked()
{
    const QVector<HouseAlarms::Raised> alarms = HouseAlarms::instance()->raised();
    BusControl *busControl = BusControl::getInstance();
    if (!alarms.isEmpty())
        busControl->showChannel(alarms.first().tongdao);
    busControl->show();
}
