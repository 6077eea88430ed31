#pragma once

#include <QWidget>

// Placeholder until the appliance screens land.
class Tv : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(Tv)

public:
    static Tv *getInstance();
    static bool ifInstance();
    ~Tv() override;

    void updateItems();

private:
    explicit Tv(QWidget *parent = nullptr);

    static Tv *instance;
};
