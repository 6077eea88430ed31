#pragma once

#include "bus/controllerstates.h"
#include "screens/shared/screeninstance.h"
#include "screens/showncontroller.h"
#include "wire/smalldevinfo.h"

#include <QString>
#include <QVector>
#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;

namespace Ui {
class Devices;
}

// The room dashboard: the full-screen page of one controller, and the panel's record of which
// controller the user is looking at.
class Devices : public QWidget, public OneInstance<Devices>
{
    Q_OBJECT
    Q_DISABLE_COPY(Devices)

public:
    Devices(int shownIndex, int shownTongdao, QWidget *parent = nullptr);
    ~Devices() override;

    // Which of the tiles a change concerns, as updateItems_sub takes it.
    enum TileKind {
        AllTiles = 0,
        AirTile = 1,
        TvTile = 2,
        LightTile = 3,
        WindTile = 4,
        CurtainTile = 5,
    };

    static Devices *getInstance(int index, int tongdao, bool set);

    // The shown controller; -1 when there is none.
    static int getIndex();
    static int getTongdao();
    // The dashboard exists and shows this controller.
    static bool isShown(int index, int tongdao);

    // The dashboard, hidden and showing no controller, and the five appliance screens, hidden: made
    // when the bus first has something to tell the dashboard, or a tile is touched.
    static void createScreens();
    // Shows the dashboard of a controller whose tile was touched.
    static void openController(int index, int tongdao);

    static void updateConnState(int index, int tongdao, int state, unsigned char alarmBits);
    static void setWarnIcon(int index, int tongdao, bool clear, unsigned char alarmBits);
    static void updateItems_sub(int index, int tongdao, int kind);
    // Every appliance screen that is visible, but the one that made the change, reloads from the
    // shown controller's record.
    static void updateAllSubDevs(const QWidget *except = nullptr);
    // An accepted full reply of a controller: the tiles and open appliance screens follow its record
    // when it is the one shown; any other controller changes nothing visible here.
    static void controllerReported(int index, int tongdao);
    // A command for the shown controller went, from a touch or from the remote link: the tiles and
    // open appliance screens follow the record, but for the screen whose touch sent it.
    static void commandApplied(int index, int tongdao);
    // A command for the controller that was shown as done never reached the line, and the tables
    // are back as before it: the shown controller's switches follow them, and the person is told.
    static void commandDropped(int index, int tongdao);

    void setIndex(int index);
    void setTongdao(int tongdao);
    void updateItems(int chosenIndex, int chosenTongdao);
    void setOnoffStyle(QLabel *label, QPushButton *button, bool on);
    void CreateOneAnimation(const QPoint &pos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private slots:
    void slotTimeout0();
    void slotTimeout1();
    void slotTimeout2();
    void slotTimeout3();
    void slotTimeout4();
    void showtimeTimeout();
    void on_btn_return_clicked();
    void on_btn_air_clicked();
    void on_btn_air_onoff_clicked(bool checked);
    void on_btn_tv_clicked();
    void on_btn_tv_onoff_clicked(bool checked);
    void on_btn_light_clicked();
    void on_btn_light_onoff_clicked(bool checked);
    void on_btn_curtain_clicked();
    void on_btn_curtain_onoff_clicked(bool checked);
    void on_btn_wind_clicked();
    void on_btn_wind_onoff_clicked(bool checked);
    void on_btn_clean_clicked();
    void on_alarmBoard_roomChosen(int chosenIndex, int chosenTongdao);

private:
    static constexpr int AlarmIconCount = 5;

    void initItems();
    void createTimers();
    void showClock();
    static void createApplianceScreens();
    void loadTiles(const SmallDevInfo &record);
    void reloadTiles(int kind);
    void followRecord(QLabel *label, QPushButton *button, unsigned char field);
    void switchAppliance(QLabel *label, QPushButton *button, int code, bool checked);

    static void closeApplianceScreens();
    void showOtherAlarms();
    void followLatchedAlarm(int changedIndex, int changedTongdao);
    QVector<ControllerStates::Raised> otherAlarms() const;
    void showLinkState(int state, unsigned char alarmBits);
    void showConnCaption(int state);
    void showKnownLinkState();
    void clearWarnIcons();
    void blinkWarnIcons(unsigned char alarmBits);
    void toggleWarnIcon(int icon);
    QLabel *warnIcon(int icon) const;

    bool showsController() const { return isController(index, tongdao); }
    ShownController shown() const { return {index, tongdao}; }
    SmallDevInfo &shownRecord() const;

    Ui::Devices *ui = nullptr;
    int index = -1;
    int tongdao = -1;
    QTimer *blinkTimers[AlarmIconCount] = {};
    QTimer *clockTimer = nullptr;
};
