#include "screens/devitem.h"
#include "ui_devitem.h"

#include "screens/devices.h"

namespace {
// Until its controller's first poll a tile says nothing: the form's placeholder is an alarm caption
// in the alarm red, which no controller raised.
const QString notPolledQss = QStringLiteral("QLabel{color: rgb(136, 138, 133);}");
}

DevItem::DevItem(int deviceIndex, int channel, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DevItem)
    , index(deviceIndex)
    , tongdao(channel)
{
    ui->setupUi(this);
    ui->label_state->clear();
    ui->label_state->setStyleSheet(notPolledQss);
    updateIdxUi(index);
    setOpen(false);
}

DevItem::~DevItem()
{
    delete ui;
}

// Counted from 0, as the controllers' bus addresses are.
void DevItem::updateIdxUi(int deviceIndex)
{
    ui->label_idx->setText(QStringLiteral("Control - %1").arg(deviceIndex));
}

void DevItem::setOpen(bool on)
{
    open = on;
    setVisible(on);
}

QLabel *DevItem::getLabelState() const
{
    return ui->label_state;
}

QLabel *DevItem::getLabelIdx() const
{
    return ui->label_idx;
}

void DevItem::on_btn_img_clicked()
{
    if (!open)
        return;
    Devices::openController(index, tongdao);
}
