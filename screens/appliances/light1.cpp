#include "screens/appliances/light1.h"
#include "ui_light1.h"

#include "bus/devicetables.h"
#include "screens/devices.h"
#include "screens/shared/screeninstance.h"
#include "screens/shared/stylesheet.h"
#include "screens/showncontroller.h"
#include "wire/wire.h"

#include <QPushButton>
#include <QSlider>

namespace {

const QString onoffQss1 = QStringLiteral(
    "background-color: rgba(0, 0, 0, 1);border-image: url(:/swon.png);outline: none;");
const QString onoffQss0 = QStringLiteral(
    "background-color: rgba(0, 0, 0, 1);border-image: url(:/swoff.png);outline: none;");

QString dimmerBase(const QString &border)
{
    return QStringLiteral("QSlider {height: 40px;}QSlider::groove:horizontal {background: rgb(67,77,85);"
                          "height: 40px;%1border-radius: 20px;}QSlider::handle:horizontal {"
                          "border-image: url(:/light_icon.png);width: 40px;height: 40px;margin-left: 0px;"
                          "margin-right: -0px;}")
        .arg(border);
}

QString borderedBase(const char *colour)
{
    return dimmerBase(QStringLiteral("border: 2px solid %1;").arg(QLatin1String(colour)));
}

QString fillSheet(const char *endColour)
{
    return QStringLiteral("QSlider::sub-page:horizontal {background: qlineargradient(spread:pad, x1:0, y1:0, "
                          "x2:1, y2:0, stop:0 rgba(67,77,85, 255), stop:1 %1);height: 40px;border-radius: 20px;}")
        .arg(QLatin1String(endColour));
}

const QString mainQss0 = borderedBase("#FF8800");
const QString mainQss0_0 = dimmerBase(QString());
const QString mainQss1 = fillSheet("#FF8800");
const QString lightbeltQss0 = borderedBase("#9999FF");
const QString lightbeltQss0_0 = mainQss0_0;
const QString lightbeltQss1 = fillSheet("#9999FF");
const QString spotQss0 = borderedBase("rgb(29, 167, 223)");
const QString spotQss0_0 = mainQss0_0;
const QString spotQss1 = fillSheet("rgba(97,179,248, 255)");
const QString kitchenQss0 = borderedBase("rgb(238, 238, 236)");
const QString kitchenQss0_0 = mainQss0_0;
const QString kitchenQss1 = fillSheet("rgb(238, 238, 236)");
const QString bedroomQss0 = borderedBase("rgb(145, 212, 149)");
const QString bedroomQss0_0 = mainQss0_0;
const QString bedroomQss1 = fillSheet("rgb(145, 212, 149)");

struct DimmerSheets
{
    const QString &bordered;
    const QString &borderless;
    const QString &fill;
};

const DimmerSheets dimmerSheets[Light1::CircuitCount] = {
    {mainQss0, mainQss0_0, mainQss1},          {lightbeltQss0, lightbeltQss0_0, lightbeltQss1},
    {spotQss0, spotQss0_0, spotQss1},          {kitchenQss0, kitchenQss0_0, kitchenQss1},
    {bedroomQss0, bedroomQss0_0, bedroomQss1},
};

// How a circuit reaches its controller. Kitchen and bedroom have no command code and no record field.
struct Wiring
{
    int code;
    unsigned char SmallDevInfo::*onField;
    unsigned char SmallDevInfo::*brightnessField;
    const char *switchSlot;
    const char *releaseSlot;
};

const Wiring wiring[Light1::CircuitCount] = {
    {Wire::MainLight, &SmallDevInfo::mainOn, &SmallDevInfo::mainBright, "on_btn_sw_main_clicked",
     "on_hs_main_sliderReleased"},
    {Wire::LightBelt, &SmallDevInfo::lightbeltOn, &SmallDevInfo::lightbeltBright, "on_btn_sw_lightbelt_clicked",
     "on_hs_lightbelt_sliderReleased"},
    {Wire::SpotLight, &SmallDevInfo::spotOn, &SmallDevInfo::spotBright, "on_btn_sw_spot_clicked",
     "on_hs_spot_sliderReleased"},
    {0, nullptr, nullptr, nullptr, nullptr},
    {0, nullptr, nullptr, nullptr, nullptr},
};

bool isWired(int circuit)
{
    return wiring[circuit].code != 0;
}

// Slot of a circuit in lightBright.
constexpr int lastSentSlot(int code)
{
    return code - Wire::LightBelt;
}

// Values from this one on show the filled look.
constexpr int FillThreshold = 4;

} // namespace

Light1 *Light1::getInstance()
{
    return instanceOrCreate([] { return new Light1; });
}

// No parent: every screen is its own top-level window.
Light1::Light1(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Light1)
{
    ui->setupUi(this);
    dimmers[Main] = ui->hs_main;
    dimmers[LightBelt] = ui->hs_lightbelt;
    dimmers[Spot] = ui->hs_spot;
    dimmers[Kitchen] = ui->hs_kitchen;
    dimmers[Bedroom] = ui->hs_bedroom;
    switches[Main] = ui->btn_sw_main;
    switches[LightBelt] = ui->btn_sw_lightbelt;
    switches[Spot] = ui->btn_sw_spot;
    switches[Kitchen] = ui->btn_sw_kitchen;
    switches[Bedroom] = ui->btn_sw_bedroom;
    initItems();
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    // Centres the 800x800 form on the 1920x1080 display.
    move(560, 140);
}

Light1::~Light1()
{
    delete ui;
}

int Light1::getIndex() const
{
    return Devices::getIndex();
}

int Light1::getTongdao() const
{
    return Devices::getTongdao();
}

void Light1::initItems()
{
    updateItems();
}

void Light1::updateItems()
{
    const ShownController shown = ShownController::current();
    if (shown.isValid()) {
        for (int circuit : {Main, LightBelt, Spot})
            loadWiredCircuit(circuit, shown.record());
    }
    for (int circuit = 0; circuit < CircuitCount; ++circuit) {
        if (!dimmers[circuit]->isSliderDown())
            dimmers[circuit]->setEnabled(switches[circuit]->isChecked());
    }
    updateHsQss(AllDimmers);
}

// Checking a switch from here emits no click, so loading never sends. A switch or dimmer the person
// holds keeps what the finger chose: the release sends that, not the record.
void Light1::loadWiredCircuit(int circuit, const SmallDevInfo &record)
{
    if (!switches[circuit]->isDown()) {
        const bool on = record.*wiring[circuit].onField != 0;
        switches[circuit]->setChecked(on);
        setOnoffStyle(switches[circuit], on);
    }
    QSlider *dimmer = dimmers[circuit];
    if (dimmer->isSliderDown())
        return;
    // The slider clamps a reported brightness above 100. A value equal to the slider's emits no
    // valueChanged, so the fill flag is set here; updateItems() then applies the look.
    dimmer->setValue(record.*wiring[circuit].brightnessField);
    fillFlags[circuit] = dimmer->value() >= FillThreshold ? 1 : 0;
}

void Light1::setOnoffStyle(QPushButton *button, bool on)
{
    setStyleSheetIfChanged(button, on ? onoffQss1 : onoffQss0);
}

void Light1::updateSliderQss(int dimmer, int value, const QString &base, const QString &fill)
{
    QSlider *slider = dimmers[dimmer];
    int &filled = fillFlags[dimmer];
    if (value == -1)
        setStyleSheetIfChanged(slider, filled ? QString(base + fill) : base);
    else
        followFillThreshold(slider, filled, value, FillThreshold, base, fill);
}

void Light1::updateHsQss(int dimmer)
{
    if (dimmer == AllDimmers) {
        for (int circuit = 0; circuit < CircuitCount; ++circuit)
            updateHsQss(circuit);
        return;
    }
    const DimmerSheets &sheets = dimmerSheets[dimmer];
    const QString &base = switches[dimmer]->isChecked() ? sheets.bordered : sheets.borderless;
    updateSliderQss(dimmer, -1, base, sheets.fill);
}

// A move always restyles with the bordered base: only a switched-on dimmer can be dragged.
void Light1::dimmerValueChanged(int circuit, int value)
{
    updateSliderQss(circuit, value, dimmerSheets[circuit].bordered, dimmerSheets[circuit].fill);
}

void Light1::switchClicked(int circuit, bool checked)
{
    if (isWired(circuit) && !sendSwitch(circuit, checked)) {
        switches[circuit]->setChecked(!checked);
        return;
    }
    setOnoffStyle(switches[circuit], checked);
    dimmers[circuit]->setEnabled(checked);
    updateHsQss(circuit);
}

// False only when a frame for the shown controller could not leave: without a shown controller the
// switch acts on this screen alone, as the unwired circuits always do.
bool Light1::sendSwitch(int circuit, bool checked)
{
    const ShownController shown = ShownController::current();
    if (shown.isValid())
        qDebug("%s: %d", wiring[circuit].switchSlot, checked ? 1 : 0);
    return !isRefused(shown.switchAppliance(wiring[circuit].code, checked, this));
}

// The value counts at release only. It goes out when it differs from what this screen last sent or
// from the record, which also holds the controller's own reports: a dimmer reported at 60 and
// released at 0 must switch the light down even though this screen never sent 60.
void Light1::dimmerReleased(int circuit)
{
    const ShownController shown = ShownController::current();
    if (!shown.isValid())
        return;
    const Wiring &wire = wiring[circuit];
    const int value = dimmers[circuit]->value();
    const int lastSent = lightBright[shown.tongdao()][shown.index()][lastSentSlot(wire.code)];
    const unsigned char brightness = shown.record().*wire.brightnessField;
    if (value == lastSent && value == brightness)
        return;
    qDebug("%s: %d", wire.releaseSlot, value);
    // Refused, it goes back to what the controller holds, as nothing reached it.
    if (isRefused(shown.setValue(wire.code, value, this)))
        dimmers[circuit]->setValue(brightness);
}

void Light1::on_hs_main_valueChanged(int value)
{
    dimmerValueChanged(Main, value);
}

void Light1::on_hs_lightbelt_valueChanged(int value)
{
    dimmerValueChanged(LightBelt, value);
}

void Light1::on_hs_spot_valueChanged(int value)
{
    dimmerValueChanged(Spot, value);
}

void Light1::on_hs_kitchen_valueChanged(int value)
{
    dimmerValueChanged(Kitchen, value);
}

void Light1::on_hs_bedroom_valueChanged(int value)
{
    dimmerValueChanged(Bedroom, value);
}

void Light1::on_btn_sw_main_clicked(bool checked)
{
    switchClicked(Main, checked);
}

void Light1::on_btn_sw_lightbelt_clicked(bool checked)
{
    switchClicked(LightBelt, checked);
}

void Light1::on_btn_sw_spot_clicked(bool checked)
{
    switchClicked(Spot, checked);
}

void Light1::on_btn_sw_kitchen_clicked(bool checked)
{
    switchClicked(Kitchen, checked);
}

void Light1::on_btn_sw_bedroom_clicked(bool checked)
{
    switchClicked(Bedroom, checked);
}

void Light1::on_hs_main_sliderReleased()
{
    dimmerReleased(Main);
}

void Light1::on_hs_lightbelt_sliderReleased()
{
    dimmerReleased(LightBelt);
}

void Light1::on_hs_spot_sliderReleased()
{
    dimmerReleased(Spot);
}

void Light1::on_btn_return_clicked()
{
    hide();
}
