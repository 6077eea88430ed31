#include "screens/appliances/aircond.h"
#include "ui_aircond.h"

#include "screens/devices.h"
#include "screens/shared/screeninstance.h"
#include "screens/shared/stylesheet.h"
#include "screens/showncontroller.h"
#include "wire/wire.h"

#include <QGraphicsDropShadowEffect>

namespace {
const QString onoffQss1 = QStringLiteral(
    "QPushButton{background:qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(177, 208, 251, 255), stop:1 rgba(59, 123, 184, 255));border-radius:40px;color:rgb(238, 238, 236);background-image:url(:/onoff1.png);background-repeat: no-repeat;background-position: center;outline:none;}QPushButton::pressed{border: 2px solid rgb(29, 167, 223);}");
const QString onoffQss0 = QStringLiteral(
    "QPushButton{background:qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(177, 208, 251, 255), stop:1 rgba(59, 123, 184, 255));border-radius:40px;color:rgb(238, 238, 236);background-image:url(:/onoff.png);background-repeat: no-repeat;background-position: center;outline:none;}QPushButton::pressed{border: 2px solid rgb(29, 167, 223);}");
const QString speedQss0 = QStringLiteral(
    "QSlider{height: 40px;}QSlider::groove:horizontal {background: rgb(67,77,85);height: 40px;border: 2px solid rgb(29, 167, 223);border-radius: 20px;}QSlider::handle:horizontal {background: QRadialGradient(cx:0, cy:0, radius: 1, fx:0.5, fy:0.5, stop:0 white, stop:1 rgb(33, 149, 246));border: 1px solid #cccccc;width: 40px;height: 40px;margin: -0px 0;border-radius: 20px;}");
const QString speedQss1 = QStringLiteral(
    "QSlider::sub-page:horizontal {background: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, stop:0 rgba(67,77,85, 255), stop:1 rgba(97,179,248, 255));height: 40px;border-radius: 20px;}");

constexpr int MinTemperature = 16;
constexpr int MaxTemperature = 30;
// The speed slider is drawn filled from this position up.
constexpr int FirstFilledSpeed = 4;
} // namespace

Aircond *Aircond::getInstance()
{
    return instanceOrCreate([] { return new Aircond; });
}

int Aircond::getIndex()
{
    return Devices::getIndex();
}

int Aircond::getTongdao()
{
    return Devices::getTongdao();
}

Aircond::Aircond(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Aircond)
{
    ui->setupUi(this);
    initItems();
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    // Centred on the 1920x1080 display.
    move(560, 140);
}

Aircond::~Aircond()
{
    delete ui;
}

// Only the power button's look is loaded here: its checked state follows with the updateItems()
// the dashboard always calls before showing the screen.
void Aircond::initItems()
{
    addDropShadow();

    const ShownController shown = ShownController::current();
    if (!shown.isValid())
        return;
    const SmallDevInfo &record = shown.record();
    if (record.airOn != 0)
        setStyleSheetIfChanged(ui->btn_onoff, onoffQss1);
    if (record.airTemp != 0) {
        showTemperature(record.airTemp);
        followShownTemperature(record.airTemp);
    }
    if (record.airSpeed != 0)
        showSpeed(record.airSpeed);
}

void Aircond::updateItems()
{
    const ShownController shown = ShownController::current();
    if (!shown.isValid())
        return;
    const SmallDevInfo &record = shown.record();

    const bool on = record.airOn != 0;
    // Checking from code emits no click, so nothing is sent. What the finger holds stays.
    if (on != ui->btn_onoff->isChecked() && !ui->btn_onoff->isDown()) {
        ui->btn_onoff->setChecked(on);
        setOnoffStyle(on);
    }
    // 0 means the controller has reported no value yet.
    if (record.airTemp != 0) {
        if (record.airTemp != ui->label_temp->text().toInt())
            showTemperature(record.airTemp);
        followShownTemperature(record.airTemp);
    }
    if (record.airSpeed != 0 && record.airSpeed != ui->hs_speed->value() && !ui->hs_speed->isSliderDown())
        showSpeed(record.airSpeed);
}

void Aircond::setOnoffStyle(bool on)
{
    setStyleSheetIfChanged(ui->btn_onoff, on ? onoffQss1 : onoffQss0);
}

// The sheet changes only when the fill appears or goes, not on every move of the slider.
void Aircond::setHsStyleSheet(int value)
{
    followFillThreshold(ui->hs_speed, speedMode, value, FirstFilledSpeed, speedQss0, speedQss1);
}

void Aircond::addDropShadow()
{
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setOffset(3.0, 5.0);
    shadow->setColor(QColor(43, 43, 43, 255));
    shadow->setBlurRadius(8.0);
    ui->frame->setGraphicsEffect(shadow);
}

void Aircond::showTemperature(int degrees)
{
    ui->label_temp->setText(QString::number(degrees));
}

// "+" and "-" step from what the person sees. A reported value outside the range is shown but not
// taken: the buttons could not step back into the range from it.
void Aircond::followShownTemperature(int degrees)
{
    if (degrees >= MinTemperature && degrees <= MaxTemperature)
        tempValue = degrees;
}

// A speed beyond the slider's top shows at the top, filled.
void Aircond::showSpeed(int speed)
{
    ui->hs_speed->setValue(speed);
    setHsStyleSheet(speed);
}

// A step beyond the range changes nothing, not even the label. The temperature is kept in the record
// only; no command carries it.
void Aircond::stepTemperature(int step)
{
    const int stepped = tempValue + step;
    if (stepped < MinTemperature || stepped > MaxTemperature)
        return;
    tempValue = stepped;
    showTemperature(tempValue);

    const ShownController shown = ShownController::current();
    if (!shown.isValid())
        return;
    shown.record().airTemp = static_cast<unsigned char>(tempValue);
    shown.showRecordChanged(this);
}

void Aircond::on_btn_onoff_clicked(bool checked)
{
    if (isRefused(ShownController::current().switchAppliance(Wire::AirConditioner, checked, this)))
        ui->btn_onoff->setChecked(!checked);
    else
        setOnoffStyle(checked);
}

// The speed is only shown: a move by the user restyles the slider and sends nothing.
void Aircond::on_hs_speed_valueChanged(int value)
{
    setHsStyleSheet(value);
}

void Aircond::on_btn_add_clicked()
{
    stepTemperature(+1);
}

void Aircond::on_btn_reduce_clicked()
{
    stepTemperature(-1);
}

void Aircond::on_pushButton_clicked()
{
    hide();
}
