#pragma once

#include "screens/shared/screeninstance.h"
#include <QWidget>

namespace Ui {
class Wind;
}

// The fan of the controller the dashboard shows: one on/off switch.
class Wind : public QWidget, public OneInstance<Wind>
{
    Q_OBJECT
    Q_DISABLE_COPY(Wind)

public:
    static Wind *getInstance();
    ~Wind() override;

    // The controller the dashboard shows; -1 when there is none.
    static int getIndex();
    static int getTongdao();

    void setOnoffStyle(bool on);
    void updateItems();

private slots:
    void on_btn_onoff_clicked(bool checked);
    void on_btn_return_clicked();

private:
    explicit Wind(QWidget *parent = nullptr);

    Ui::Wind *ui = nullptr;
};
