#pragma once

#include "screens/shared/screeninstance.h"
#include "wire/smalldevinfo.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QWidget>

#include <array>

class DevItem;
class QLabel;
class QPushButton;
class QTimer;

namespace Ui {
class BusControl;
}

// The device master control screen: one tile per controller, and the polling of the four buses,
// which starts when the screen is first created and runs for the life of the process.
class BusControl : public QWidget, public OneInstance<BusControl>
{
    Q_OBJECT
    Q_DISABLE_COPY(BusControl)

public:
    static BusControl *getInstance();
    ~BusControl() override;

    void initItems();
    void setItemState(int index, int tongdao, int state, unsigned char alarm, int retry);

    // What one read found on each channel's port, in channel order: one reply per channel.
    void handleReplies(const std::array<QByteArray, ChannelCount> &replies);
    // Every channel's turn back to controller 0 with nothing unanswered, as before the first poll.
    void restartPollCycle();

    // While a full-screen screen lies over this one, none of it can be seen. The tiles still take
    // their captions at once, but their colours and every repaint wait until the screen is
    // uncovered, and then come all at once: re-polishing two labels per poll is most of what the
    // polling costs.
    void setCovered(bool on);
    bool isCovered() const { return covered; }

    // Shows one channel's panel, as its channel button does.
    void showChannel(int channel);
    int getShownChannel() const { return shownChannel; }

signals:
    // A read of the four buses after a poll is done: the poll cycle is alive.
    void readsCompleted();

public slots:
    // Every 1000 ms: the clock when shown, then one poll request per channel.
    void sendCommand();
    // 300 ms after a poll: one reply per channel.
    void readMyCom();

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_pushButton_clicked();
    void on_btn_tong1_clicked();
    void on_btn_tong2_clicked();
    void on_btn_tong3_clicked();
    void on_btn_tong4_clicked();

private:
    explicit BusControl(QWidget *parent = nullptr);

    void pollChannel(int channel, bool &started);
    void handleReply(int channel, const QByteArray &reply);
    void showChannelPanel(int channel);
    std::array<QPushButton *, ChannelCount> channelButtons() const;
    void followWiredChannels();
    void showChannelButtons();
    void showLook(QLabel *label, const QString &sheet);
    void showClock();

    Ui::BusControl *ui = nullptr;
    DevItem *items[4][4] = {};
    QTimer *pollTimer = nullptr;
    QTimer *readTimer = nullptr;
    bool covered = false;
    bool cycleRestartPending = false;
    int shownChannel = 0;
    // Channels whose port has been open at some time since start-up.
    bool wired[ChannelCount] = {};
    // The sheet each tile label is to take once the screen is uncovered.
    QHash<QLabel *, QString> pendingLooks;
};

// Gives a channel button the selected (green) or unselected (grey) look.
void setQssOpen(QWidget *button, bool selected);
