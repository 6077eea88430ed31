#pragma once

#include <QWidget>

// Placeholder until the bus control screen lands.
class BusControl : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(BusControl)

public:
    static BusControl *getInstance();
    ~BusControl() override;

    void setItemState(int index, int tongdao, int state, unsigned char alarm, int retry);

private:
    explicit BusControl(QWidget *parent = nullptr);

    static BusControl *instance;
};
