#pragma once

#include <QWidget>

class MainWindow;
class QLabel;
class QPushButton;
class QTimer;

namespace Ui {
class Devices;
}

// The room dashboard: the full-screen page of one controller, and the panel's record of which
// controller the user is looking at.
class Devices : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(Devices)

public:
    explicit Devices(QWidget *parent = nullptr);
    Devices(int index, int tongdao, QWidget *parent = nullptr);
    ~Devices() override;

    static Devices *getInstance(int index, int tongdao, bool set);
    static bool ifInstance();

    // The shown controller; -1 when there is none.
    static int getIndex();
    static int getTongdao();

    static void updateConnState(int index, int tongdao, int state, unsigned char alarmBits);
    static void setWarnIcon(int index, int tongdao, bool clear, unsigned char alarmBits);
    static void updateItems_sub(int index, int tongdao, int kind);
    static void updateAllSubDevs(int index, int tongdao);

    void setIndex(int index);
    void setTongdao(int tongdao);
    void updateItems(int index, int tongdao);

private:
    static Devices *instance;

    int index = -1;
    int tongdao = -1;
};
