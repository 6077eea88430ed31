#pragma once

#include <QWidget>

class QLabel;

namespace Ui {
class DevItem;
}

// One controller's tile on the bus control screen: its index and its link state.
class DevItem : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(DevItem)

public:
    DevItem(int deviceIndex, int channel, QWidget *parent = nullptr);
    ~DevItem() override;

    void updateIdxUi(int deviceIndex);
    // Only an active tile is shown, reacts to a touch and takes state updates.
    void setOpen(bool on);
    bool getOpen() const { return open; }

    QLabel *getLabelState() const;
    QLabel *getLabelIdx() const;

private slots:
    void on_btn_img_clicked();

private:
    Ui::DevItem *ui = nullptr;
    int index = 0;
    int tongdao = 0;
    bool open = false;
};
