#pragma once

#include "bus/controllerstates.h"

#include <QFrame>
#include <QVector>

class QLabel;
class QPushButton;
class QVBoxLayout;

// A red board listing alarms under a heading, a line each, hidden while there are none. A touch on
// a line chooses that line's room; a touch elsewhere on the board, the first line's. Alarms beyond
// the lines the board has room for are counted instead.
class AlarmBoard : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY(AlarmBoard)

public:
    explicit AlarmBoard(QWidget *parent = nullptr);

    void setHeading(const QString &heading);
    void setShownLines(int count);
    void showAlarms(const QVector<ControllerStates::Raised> &alarms);

    // The heading and the lines as a person reads them, a line each.
    QString text() const;
    // The touchable line of the alarm at this place in the list; nullptr beyond the lines shown.
    QPushButton *lineButton(int line) const;

signals:
    void roomChosen(int index, int tongdao);

protected:
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QPushButton *addLineButton();
    void fitLine(QPushButton *button) const;
    void chooseLine(int line);

    QVBoxLayout *lines = nullptr;
    QLabel *heading = nullptr;
    QVector<QPushButton *> lineButtons;
    QLabel *more = nullptr;
    QVector<ControllerStates::Raised> shown;
    int shownLines = 1;
};
