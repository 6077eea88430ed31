#pragma once

#include "screens/shared/screeninstance.h"
#include <QWidget>

class QPushButton;
class QSlider;
struct SmallDevInfo;

namespace Ui {
class Light1;
}

// The lighting of the controller the dashboard shows: five circuits, each with a dimmer and a
// switch. Main, light belt and spot are wired to the controller; kitchen and bedroom exist on this
// screen only, which is their sole store.
class Light1 : public QWidget, public OneInstance<Light1>
{
    Q_OBJECT
    Q_DISABLE_COPY(Light1)

public:
    // The circuits, in the order every operation visits them.
    enum Circuit { Main, LightBelt, Spot, Kitchen, Bedroom, CircuitCount };
    // updateHsQss() with this argument reapplies the look of every dimmer.
    static constexpr int AllDimmers = 100;

    static Light1 *getInstance();
    ~Light1() override;

    // The dashboard's controller; -1 when it shows none.
    int getIndex() const;
    int getTongdao() const;

    void initItems();
    // Loads the wired circuits from the shown controller's record. Never sends.
    void updateItems();
    void setOnoffStyle(QPushButton *button, bool on);
    // One dimmer's look: plain below the fill threshold, filled from it on. A value of -1 reapplies
    // the current look with the given base.
    void updateSliderQss(int dimmer, int value, const QString &base, const QString &fill);
    // Reapplies the look of one dimmer (or of all, with AllDimmers), bordered only while its switch is on.
    void updateHsQss(int dimmer);

private slots:
    void on_hs_main_valueChanged(int value);
    void on_hs_lightbelt_valueChanged(int value);
    void on_hs_spot_valueChanged(int value);
    void on_hs_kitchen_valueChanged(int value);
    void on_hs_bedroom_valueChanged(int value);
    void on_btn_sw_main_clicked(bool checked);
    void on_btn_sw_lightbelt_clicked(bool checked);
    void on_btn_sw_spot_clicked(bool checked);
    void on_btn_sw_kitchen_clicked(bool checked);
    void on_btn_sw_bedroom_clicked(bool checked);
    void on_hs_main_sliderReleased();
    void on_hs_lightbelt_sliderReleased();
    void on_hs_spot_sliderReleased();
    void on_btn_return_clicked();

private:
    explicit Light1(QWidget *parent = nullptr);

    void dimmerValueChanged(int circuit, int value);
    void switchClicked(int circuit, bool checked);
    bool sendSwitch(int circuit, bool checked);
    void dimmerReleased(int circuit);
    void loadWiredCircuit(int circuit, const SmallDevInfo &record);

    Ui::Light1 *ui = nullptr;
    QSlider *dimmers[CircuitCount] = {};
    QPushButton *switches[CircuitCount] = {};
    // 1 while a dimmer shows its filled look, so that only a threshold crossing restyles it.
    int fillFlags[CircuitCount] = {};
};
