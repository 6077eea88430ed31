#include "screens/appliances/wind.h"
#include "ui_wind.h"

#include "screens/devices.h"
#include "screens/shared/screeninstance.h"
#include "screens/shared/stylesheet.h"
#include "screens/showncontroller.h"
#include "wire/wire.h"

namespace {
const QString onoffQss1 = QStringLiteral("background-color: rgba(0, 0, 0, 1);border-image: url(:/swon.png);");
const QString onoffQss0 = QStringLiteral("background-color: rgba(0, 0, 0, 1);border-image: url(:/swoff.png);");

} // namespace

Wind *Wind::getInstance()
{
    return instanceOrCreate([] { return new Wind; });
}

int Wind::getIndex()
{
    return Devices::getIndex();
}

int Wind::getTongdao()
{
    return Devices::getTongdao();
}

// The switch starts off: the record is loaded by the updateItems() the dashboard calls before
// showing the screen.
Wind::Wind(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Wind)
{
    ui->setupUi(this);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    // Centred on the 1920x1080 display.
    move(560, 140);
}

Wind::~Wind()
{
    delete ui;
}

void Wind::setOnoffStyle(bool on)
{
    setStyleSheetIfChanged(ui->btn_onoff, on ? onoffQss1 : onoffQss0);
}

void Wind::updateItems()
{
    const ShownController shown = ShownController::current();
    if (!shown.isValid())
        return;
    const bool on = shown.record().windOn != 0;
    // Checking from code emits no click, so nothing is sent. What the finger holds stays.
    if (on != ui->btn_onoff->isChecked() && !ui->btn_onoff->isDown()) {
        ui->btn_onoff->setChecked(on);
        setOnoffStyle(on);
    }
}

void Wind::on_btn_onoff_clicked(bool checked)
{
    qDebug("on_btn_onoff_clicked %d", checked ? 1 : 0);
    if (isRefused(ShownController::current().switchAppliance(Wire::Fan, checked, this)))
        ui->btn_onoff->setChecked(!checked);
    else
        setOnoffStyle(checked);
}

void Wind::on_btn_return_clicked()
{
    hide();
}
