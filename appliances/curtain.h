#pragma once

#include <QWidget>

// Placeholder until the appliance screens land.
class Curtain : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(Curtain)

public:
    static Curtain *getInstance();
    static bool ifInstance();
    ~Curtain() override;

    void updateItems();

private:
    explicit Curtain(QWidget *parent = nullptr);

    static Curtain *instance;
};
