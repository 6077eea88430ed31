#pragma once

#include "screens/shared/screeninstance.h"
#include <QWidget>

namespace Ui {
class Aircond;
}

// The air conditioner of the controller the dashboard shows: power, set temperature and the
// reported fan speed.
class Aircond : public QWidget, public OneInstance<Aircond>
{
    Q_OBJECT
    Q_DISABLE_COPY(Aircond)

public:
    static Aircond *getInstance();
    ~Aircond() override;

    // The controller the dashboard shows; -1 when there is none.
    static int getIndex();
    static int getTongdao();

    void initItems();
    void updateItems();
    void setOnoffStyle(bool on);
    void setHsStyleSheet(int value);

private slots:
    void on_btn_onoff_clicked(bool checked);
    void on_hs_speed_valueChanged(int value);
    void on_btn_add_clicked();
    void on_btn_reduce_clicked();
    void on_pushButton_clicked();

private:
    explicit Aircond(QWidget *parent = nullptr);

    void addDropShadow();
    void showTemperature(int degrees);
    void followShownTemperature(int degrees);
    void showSpeed(int speed);
    void stepTemperature(int step);

    Ui::Aircond *ui = nullptr;
    int speedMode = 0;
    int tempValue = 18;
};
