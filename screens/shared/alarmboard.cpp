#include "screens/shared/alarmboard.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

AlarmBoard::AlarmBoard(QWidget *parent)
    : QFrame(parent)
    , lines(new QVBoxLayout(this))
    , heading(new QLabel(this))
    , more(new QLabel(this))
{
    lines->setContentsMargins(24, 6, 24, 6);
    lines->setSpacing(0);
    // The lines stand in the middle of the board, as the alarm's whole text did.
    lines->addStretch();
    lines->addWidget(heading);
    lines->addWidget(more);
    lines->addStretch();
    heading->setAlignment(Qt::AlignCenter);
    more->setAlignment(Qt::AlignCenter);
    more->hide();
    hide();
}

void AlarmBoard::setHeading(const QString &text)
{
    heading->setText(text);
}

// Every line the board has room for is made at once, hidden: a panel that runs for years keeps the
// same widgets from its first minute on.
void AlarmBoard::setShownLines(int count)
{
    shownLines = count;
    while (lineButtons.size() < shownLines)
        addLineButton()->hide();
}

QPushButton *AlarmBoard::addLineButton()
{
    auto *button = new QPushButton(this);
    button->setObjectName(QStringLiteral("alarmLine%1").arg(lineButtons.size()));
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    fitLine(button);
    const int line = lineButtons.size();
    connect(button, &QPushButton::clicked, this, [this, line] { chooseLine(line); });
    lines->insertWidget(lines->indexOf(more), button);
    lineButtons.append(button);
    return button;
}

void AlarmBoard::showAlarms(const QVector<ControllerStates::Raised> &alarms)
{
    shown = alarms;
    const int lineCount = qMin(alarms.size(), shownLines);
    for (int line = 0; line < lineCount; ++line) {
        QPushButton *button = line < lineButtons.size() ? lineButtons.at(line) : addLineButton();
        button->setText(alarmLine(alarms.at(line)));
        button->show();
    }
    for (int line = lineCount; line < lineButtons.size(); ++line)
        lineButtons.at(line)->hide();
    more->setVisible(alarms.size() > shownLines);
    more->setText(QStringLiteral("另有%1处").arg(alarms.size() - shownLines));
    setVisible(!alarms.isEmpty());
}

QString AlarmBoard::text() const
{
    QStringList text{heading->text()};
    for (const QPushButton *button : lineButtons) {
        if (!button->isHidden())
            text << button->text();
    }
    if (!more->isHidden())
        text << more->text();
    return text.join(QLatin1Char('\n'));
}

QPushButton *AlarmBoard::lineButton(int line) const
{
    if (line < 0 || line >= lineButtons.size() || lineButtons.at(line)->isHidden())
        return nullptr;
    return lineButtons.at(line);
}

// The board's font is the form's; the style sheet would otherwise keep it from the lines.
void AlarmBoard::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    heading->setFont(font());
    more->setFont(font());
    for (QPushButton *button : qAsConst(lineButtons))
        fitLine(button);
}

// A line is a touch target: a finger's height at least.
void AlarmBoard::fitLine(QPushButton *button) const
{
    button->setFont(font());
    button->setMinimumHeight(fontMetrics().height() + 8);
}

void AlarmBoard::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    chooseLine(0);
}

void AlarmBoard::chooseLine(int line)
{
    if (line < shown.size())
        emit roomChosen(shown.at(line).index, shown.at(line).tongdao);
}
