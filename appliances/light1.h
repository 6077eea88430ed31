#pragma once

#include <QWidget>

// Placeholder until the appliance screens land.
class Light1 : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(Light1)

public:
    static Light1 *getInstance();
    static bool ifInstance();
    ~Light1() override;

    void updateItems();

private:
    explicit Light1(QWidget *parent = nullptr);

    static Light1 *instance;
};
