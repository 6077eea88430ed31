#pragma once

#include <QWidget>

// Placeholder until the appliance screens land.
class Aircond : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(Aircond)

public:
    static Aircond *getInstance();
    static bool ifInstance();
    ~Aircond() override;

    void updateItems();

private:
    explicit Aircond(QWidget *parent = nullptr);

    static Aircond *instance;
};
