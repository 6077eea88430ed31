#pragma once

#include <QColor>
#include <QWidget>

class QTimeLine;

// The red ripple under a press on the dashboard: a disc and a ring that grows and fades, twice in one
// second, after which the widget removes itself.
class AnimationSigner : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(AnimationSigner)

public:
    explicit AnimationSigner(QWidget *parent = nullptr);

    void InitWidget();
    bool ExecuteOne();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private slots:
    void changeSlot(int index);
    void finshSlot();

private:
    int frameIndex = 0;
    QTimeLine *timeLine = nullptr;
    QColor color = Qt::red;
};
