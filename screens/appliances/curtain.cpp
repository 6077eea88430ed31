#include "screens/appliances/curtain.h"
#include "ui_curtain.h"

#include "screens/devices.h"
#include "screens/shared/screeninstance.h"
#include "screens/shared/stylesheet.h"
#include "screens/showncontroller.h"
#include "wire/wire.h"

namespace {


const QString openCaptionQss = QStringLiteral("color: rgb(115, 210, 22);");
const QString closeCaptionQss = QStringLiteral("color: rgb(200, 20, 20);");


} // namespace

Curtain *Curtain::getInstance()
{
    return instanceOrCreate([] { return new Curtain; });
}

// No parent: every screen is its own top-level window.
Curtain::Curtain(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Curtain)
{
    ui->setupUi(this);
    initItems();
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    // Centres the 800x800 form on the 1920x1080 display.
    move(560, 140);
}

Curtain::~Curtain()
{
    delete ui;
}

int Curtain::getIndex() const
{
    return Devices::getIndex();
}

int Curtain::getTongdao() const
{
    return Devices::getTongdao();
}


// No speed reaches the controller, so the slider is never offered.
void Curtain::initItems()
{
    ui->hs_speed->setEnabled(false);
    ui->hs_speed->hide();
}

// The record, not the last button pressed here: the dashboard's switch and the controller's
// reports change the curtain too, and the last press may have been for another controller.
void Curtain::updateItems()
{
    const ShownController shown = ShownController::current();
    if (shown.isValid())
        showCaption(shown.record().curtainOn != 0);
}

void Curtain::showCaption(bool open)
{
    setStyleSheetIfChanged(ui->label_onoff, open ? openCaptionQss : closeCaptionQss);
    ui->label_onoff->setText(open ? QStringLiteral("开") : QStringLiteral("关"));
}

void Curtain::sendCurtain(bool open)
{
    const CommandResult result = ShownController::current().switchAppliance(Wire::Curtain, open, this);
    if (result != CommandResult::NoController && !isRefused(result))
        showCaption(open);
}

// The slider is never shown (no speed reaches the controller), so its look never changes.
void Curtain::on_hs_speed_valueChanged(int)
{
}

void Curtain::on_btn_on_clicked()
{
    qDebug("on_btn_on_clicked ");
    sendCurtain(true);
}

void Curtain::on_btn_off_clicked()
{
    qDebug("on_btn_off_clicked ");
    sendCurtain(false);
}

// The controller knows no pause command and the record has no field for it.
void Curtain::on_btn_pause_clicked()
{
}

// Nor is there a speed to send or store.
void Curtain::on_hs_speed_sliderReleased()
{
}

void Curtain::on_bnt_return_clicked()
{
    hide();
}
