#pragma once

#include <QWidget>

// Placeholder until the appliance screens land.
class Wind : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(Wind)

public:
    static Wind *getInstance();
    static bool ifInstance();
    ~Wind() override;

    void updateItems();

private:
    explicit Wind(QWidget *parent = nullptr);

    static Wind *instance;
};
