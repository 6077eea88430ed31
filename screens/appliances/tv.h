#pragma once

#include "screens/shared/screeninstance.h"
#include <QWidget>

namespace Ui {
class Tv;
}

// The television of the controller the dashboard shows. Only the power switch reaches the
// appliance; the remote keys and the sliders change nothing but their own look.
class Tv : public QWidget, public OneInstance<Tv>
{
    Q_OBJECT
    Q_DISABLE_COPY(Tv)

public:
    static Tv *getInstance();
    ~Tv() override;

    // The controller the dashboard shows; -1 when there is none.
    static int getIndex();
    static int getTongdao();

    void initItems();
    void updateItems();
    void setOnoffStyle(bool on);

private slots:
    void on_btn_onoff_clicked(bool checked);
    void on_vs_vol_valueChanged(int value);
    void on_vs_bright_valueChanged(int value);
    void on_btn_ok_clicked();
    void on_btn_return1_clicked();

private:
    explicit Tv(QWidget *parent = nullptr);

    Ui::Tv *ui = nullptr;
    // 1 while a slider carries its filled sheet; both survive hiding and changes of controller.
    int volMode = 0;
    int brightMode = 0;
};
