#include "screens/shared/commandnotice.h"

#include "bus/controllerstates.h"
#include "screens/shared/alarmboard.h"

#include <QLabel>
#include <QTimer>

namespace {
constexpr int NoticeMs = 3000;
constexpr int NoticeWidth = 640;
constexpr int NoticeHeight = 80;
constexpr int NoticeBottomMargin = 40;
constexpr int NoticeAlarmGap = 10;

const QString noticeQss = QStringLiteral(
    "QLabel{background-color: rgba(40, 40, 40, 220);color: rgb(255, 255, 255);border-radius: 20px;"
    "font-family: \"AR PL UKai CN\";font-size: 24pt;}");

QLabel *noticeOf(QWidget *screen)
{
    const QString name = QStringLiteral("commandNotice");
    if (auto *label = screen->findChild<QLabel *>(name, Qt::FindDirectChildrenOnly))
        return label;
    auto *label = new QLabel(screen);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(noticeQss);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *timer = new QTimer(label);
    timer->setObjectName(QStringLiteral("noticeTimer"));
    timer->setSingleShot(true);
    timer->setInterval(NoticeMs);
    QObject::connect(timer, &QTimer::timeout, label, &QWidget::hide);
    return label;
}

// At the bottom of the screen, or above the alarms shown there.
QRect noticePlace(const QWidget *screen)
{
    QRect place((screen->width() - NoticeWidth) / 2, screen->height() - NoticeHeight - NoticeBottomMargin, NoticeWidth,
                NoticeHeight);
    for (const AlarmBoard *board : screen->findChildren<AlarmBoard *>()) {
        const QRect alarms(board->mapTo(screen, QPoint(0, 0)), board->size());
        if (board->isVisibleTo(screen) && place.intersects(alarms))
            place.moveBottom(alarms.top() - NoticeAlarmGap);
    }
    return place;
}
} // namespace

void prepareCommandNotice(QWidget *screen)
{
    noticeOf(screen)->hide();
}

void showCommandNotSent(QWidget *screen, int tongdao, int index)
{
    if (!screen)
        return;
    QLabel *label = noticeOf(screen);
    if (ControllerStates::instance()->isSilent(index, tongdao))
        label->setText(QStringLiteral("通道%1  Control - %2 无应答，未发送").arg(tongdao + 1).arg(index));
    else
        label->setText(QStringLiteral("没有可用串口%1，未发送").arg(tongdao + 1));
    label->setGeometry(noticePlace(screen));
    label->raise();
    label->show();
    // A second failure keeps the caption up for the full time again.
    label->findChild<QTimer *>(QStringLiteral("noticeTimer"))->start();
}
