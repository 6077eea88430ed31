#pragma once

#include "screens/shared/screeninstance.h"
#include <QWidget>

namespace Ui {
class home;
}

// The menu between the start picture and the bus control screen.
class Home : public QWidget, public OneInstance<Home>
{
    Q_OBJECT
    Q_DISABLE_COPY(Home)

public:
    static Home *getInstance();
    ~Home() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_alarmBoard_roomChosen(int index, int tongdao);

private:
    explicit Home(QWidget *parent = nullptr);

    void showControllerStates();

    Ui::home *ui = nullptr;
};
