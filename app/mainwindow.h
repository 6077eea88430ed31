#pragma once

#include "bus/screeninstance.h"
#include "bus/serialports.h"
#include "bus/wire.h"

#include <QMainWindow>
#include <QVector>

class QSerialPort;

namespace Ui {
class MainWindow;
}

// The full-screen start picture, and the panel's link to the appliances: every command frame the
// screens send goes through sendLightOpen() or sendLight().
class MainWindow : public QMainWindow, public OneInstance<MainWindow>
{
    Q_OBJECT
    Q_DISABLE_COPY(MainWindow)

public:
    static MainWindow *getInstance();
    ~MainWindow() override;

    // The port of a channel; anything but 1, 2 or 3 gives channel 0's port.
    static QSerialPort *getCom(int channel);

    // Refused when the frame's port is not open or its line takes no bytes, and then the caller
    // must not show the command as done; a held frame may still be dropped (HeldFrames).
    FrameFate sendLightOpen(int tongdao, int index, int code, bool on);
    FrameFate sendLight(int tongdao, int index, int code, int value);

    Wire::CommandFrame commandFrame(int tongdao) const { return cmdFrame[tongdao]; }

protected:
    void mousePressEvent(QMouseEvent *event) override;

private slots:
    void on_alarmBoard_roomChosen(int index, int tongdao);

private:
    explicit MainWindow(QWidget *parent = nullptr);

    void showHouseAlarms();
    void openPorts();
    void connectRoomToBus();
    void warnAboutClosedPorts();
    void warnAboutClosedPort(const QVector<int> &channels);
    FrameFate writeCommandFrame(int tongdao);

    Ui::MainWindow *ui = nullptr;
    Wire::CommandFrame cmdFrame[ChannelCount];
};
