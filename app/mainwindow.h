#pragma once

#include "bus/commands.h"
#include "screens/shared/screeninstance.h"
#include "wire/wire.h"

#include <QMainWindow>
#include <QVector>

class QSerialPort;

namespace Ui {
class MainWindow;
}

// The full-screen start picture. It opens the four bus ports when it is made.
class MainWindow : public QMainWindow, public OneInstance<MainWindow>
{
    Q_OBJECT
    Q_DISABLE_COPY(MainWindow)

public:
    static MainWindow *getInstance();
    ~MainWindow() override;

    // The port of a channel; anything but 1, 2 or 3 gives channel 0's port.
    static QSerialPort *getCom(int channel);

    // Switch and value commands under their first names: Commands fills and writes the frame.
    CommandResult sendLightOpen(int tongdao, int index, int code, bool on)
    {
        return Commands::instance()->sendSwitch(tongdao, index, code, on);
    }
    CommandResult sendLight(int tongdao, int index, int code, int value)
    {
        return Commands::instance()->sendValue(tongdao, index, code, value);
    }
    Wire::CommandFrame commandFrame(int tongdao) const { return Commands::instance()->frame(tongdao); }

protected:
    void mousePressEvent(QMouseEvent *event) override;

private slots:
    void on_alarmBoard_roomChosen(int index, int tongdao);

private:
    explicit MainWindow(QWidget *parent = nullptr);

    void showControllerStates();
    void openPorts();
    void warnAboutClosedPorts();
    void warnAboutClosedPort(const QVector<int> &channels);

    Ui::MainWindow *ui = nullptr;
};
