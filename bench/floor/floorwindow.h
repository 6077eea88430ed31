#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The least any Qt panel costs: one frameless full-screen window whose label shows the time,
// refreshed once a second. Given a device file, it also has one plain button that writes a command
// frame to it, so that a press can be timed to the frame as on the panel.
class FloorWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(FloorWindow)

public:
    explicit FloorWindow(const QString &frameDevice = QString(), QWidget *parent = nullptr);
    ~FloorWindow() override;

private:
    void showTime();
    void addFrameButton(const QString &frameDevice);
    void writeFrame(bool on);

    QLabel *clock = nullptr;
    QPushButton *frameButton = nullptr;
    int frameFd = -1;
};
