#pragma once

#include "screens/shared/screeninstance.h"
#include <QWidget>

namespace Ui {
class Curtain;
}

// The curtain of the controller the dashboard shows: open and close go to the controller; pause and
// the (hidden) speed slider have no command and no record field behind them.
class Curtain : public QWidget, public OneInstance<Curtain>
{
    Q_OBJECT
    Q_DISABLE_COPY(Curtain)

public:
    static Curtain *getInstance();
    ~Curtain() override;

    // The dashboard's controller; -1 when it shows none.
    int getIndex() const;
    int getTongdao() const;

    void initItems();
    // Shows the curtain state of the shown controller in the caption.
    void updateItems();

private slots:
    void on_hs_speed_valueChanged(int value);
    void on_btn_on_clicked();
    void on_btn_off_clicked();
    void on_btn_pause_clicked();
    void on_hs_speed_sliderReleased();
    void on_bnt_return_clicked();

private:
    explicit Curtain(QWidget *parent = nullptr);

    void sendCurtain(bool open);
    void showCaption(bool open);

    Ui::Curtain *ui = nullptr;
};
