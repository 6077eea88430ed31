#include "app/home.h"
#include "ui_home.h"

#include "app/screeninstance.h"
#include "bus/buscontrol.h"

Home *Home::instance = nullptr;

Home *Home::getInstance()
{
    static QMutex mutex;
    return screenInstance(instance, mutex, "Home", [] { return new Home; });
}

Home::Home(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::home)
{
    ui->setupUi(this);
    setFramelessFlags(this);
}

Home::~Home()
{
    delete ui;
    instance = nullptr;
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
