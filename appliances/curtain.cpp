#include "appliances/curtain.h"
#include "ui_curtain.h"

#include "app/commandnotice.h"
#include "bus/screeninstance.h"
#include "bus/stylesheet.h"
#include "bus/wire.h"
#include "room/devices.h"
#include "room/showncontroller.h"

namespace {

const QString hsQss0 = QStringLiteral(
    "QSlider {height: 40px;}QSlider::groove:horizontal {background: rgb(67,77,85);height: 40px;"
    "border: 2px solid rgb(145, 212, 149);border-radius: 20px;}QSlider::handle:horizontal {"
    "background: QRadialGradient(cx:0, cy:0, radius: 1, fx:0.5, fy:0.5, stop:0 white, stop:1 rgb(63, 226, 73));"
    "border: 1px solid #cccccc;width: 40px;margin: -0px 0;border-radius: 20px;}");
const QString hsQss1 = QStringLiteral(
    "QSlider::sub-page:horizontal {background: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, "
    "stop:0 rgba(67,77,85, 255), stop:1 rgba(63, 226, 73, 255));height: 40px;border-radius: 20px;}");

const QString openCaptionQss = QStringLiteral("color: rgb(115, 210, 22);");
const QString closeCaptionQss = QStringLiteral("color: rgb(200, 20, 20);");

// Values from this one on show the filled look.
constexpr int FillThreshold = 4;

} // namespace

Curtain *Curtain::instance = nullptr;

Curtain *Curtain::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "Curtain", [] { return new Curtain; });
}

bool Curtain::ifInstance()
{
    return instance != nullptr;
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
    instance = nullptr;
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
    const ShownController shown = ShownController::current();
    if (!shown.isValid())
        return;
    if (!shown.sendSwitch(Wire::Curtain, open)) {
        showCommandNotSent(this, shown.tongdao());
        return;
    }
    showCaption(open);
    shown.record().curtainOn = open ? 1 : 0;
    shown.refreshDashboardTile(Devices::CurtainTile);
}

void Curtain::on_hs_speed_valueChanged(int value)
{
    if (!fillFlag && value >= FillThreshold) {
        fillFlag = 1;
        setStyleSheetIfChanged(ui->hs_speed, hsQss0 + hsQss1);
    } else if (fillFlag && value < FillThreshold) {
        fillFlag = 0;
        setStyleSheetIfChanged(ui->hs_speed, hsQss0);
    }
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
