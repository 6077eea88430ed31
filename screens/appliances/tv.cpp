#include "screens/appliances/tv.h"
#include "ui_tv.h"

#include "screens/devices.h"
#include "screens/shared/screeninstance.h"
#include "screens/shared/stylesheet.h"
#include "screens/showncontroller.h"
#include "wire/wire.h"

namespace {

const QString onoffQss1 = QStringLiteral(
    "background-color: rgba(0, 0, 0, 1);border-image: url(:/swon.png);outline:none;");
const QString onoffQss0 = QStringLiteral(
    "background-color: rgba(0, 0, 0, 1);border-image: url(:/swoff.png);outline:none;");
const QString qss0 = QStringLiteral(
    "QSlider{width: 80px;}QSlider::groove:vertical{width:80px;background: rgb(67,77,85);margin: 2px 0;border-radius: 40px;}QSlider::handle:vertical{background: QRadialGradient(cx:0, cy:0, radius: 1, fx:0.5, fy:0.5, stop:0 white, stop:1 rgb(33, 149, 246));border: 1px solid #cccccc;height: 80px;margin: -0px 0;border-radius: 40px;}");
const QString qss1 = QStringLiteral(
    "QSlider::add-page:vertical {background: qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(97,179,248, 255), stop:1 rgba(67,77,85, 255));\nwidth: 80px;\nborder-radius: 40px;\n}");

// The sliders are drawn filled from this value up.
constexpr int FirstFilledLevel = 12;

} // namespace

Tv *Tv::getInstance()
{
    return instanceOrCreate([] { return new Tv; });
}

int Tv::getIndex()
{
    return Devices::getIndex();
}

int Tv::getTongdao()
{
    return Devices::getTongdao();
}

Tv::Tv(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Tv)
{
    ui->setupUi(this);
    initItems();
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    // Centred on the 1920x1080 display.
    move(560, 140);
}

Tv::~Tv()
{
    delete ui;
}

void Tv::initItems()
{
    ui->label_bright_icon->setMouseTracking(true);

    const ShownController shown = ShownController::current();
    if (shown.isValid() && shown.record().tvOn != 0) {
        ui->btn_onoff->setChecked(true);
        setOnoffStyle(true);
    }
}

// The sliders show what the dashboard's tile shows; moving them stays local.
void Tv::updateItems()
{
    const ShownController shown = ShownController::current();
    if (!shown.isValid())
        return;
    const SmallDevInfo &record = shown.record();

    qDebug("Tv::updateItems %d, %d", record.tvOn, ui->btn_onoff->isChecked() ? 1 : 0);
    const bool on = record.tvOn != 0;
    // Checking from code emits no click, so nothing is sent. What the finger holds stays.
    if (on != ui->btn_onoff->isChecked() && !ui->btn_onoff->isDown()) {
        ui->btn_onoff->setChecked(on);
        setOnoffStyle(on);
    }
    if (!ui->vs_vol->isSliderDown())
        ui->vs_vol->setValue(record.tvVol);
    if (!ui->vs_bright->isSliderDown())
        ui->vs_bright->setValue(record.tvBright);
}

void Tv::setOnoffStyle(bool on)
{
    setStyleSheetIfChanged(ui->btn_onoff, on ? onoffQss1 : onoffQss0);
}

void Tv::on_btn_onoff_clicked(bool checked)
{
    qDebug("on_btn_onoff_clicked %d", checked ? 1 : 0);
    if (isRefused(ShownController::current().switchAppliance(Wire::Television, checked, this)))
        ui->btn_onoff->setChecked(!checked);
    else
        setOnoffStyle(checked);
}

void Tv::on_vs_vol_valueChanged(int value)
{
    followFillThreshold(ui->vs_vol, volMode, value, FirstFilledLevel, qss0, qss1);
}

void Tv::on_vs_bright_valueChanged(int value)
{
    followFillThreshold(ui->vs_bright, brightMode, value, FirstFilledLevel, qss0, qss1);
}

// The remote keys have no command code on the bus yet.
void Tv::on_btn_ok_clicked()
{
}

void Tv::on_btn_return1_clicked()
{
    hide();
}
