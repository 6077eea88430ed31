#include "screens/shared/animationsigner.h"

#include <QPainter>
#include <QTimeLine>

namespace {
constexpr int LoopMs = 500;
constexpr int LastFrame = 10;
constexpr int Loops = 2;
constexpr double RingStartOpacity = 0.7;
}

AnimationSigner::AnimationSigner(QWidget *parent)
    : QWidget(parent)
{
    InitWidget();
}

void AnimationSigner::InitWidget()
{
    setAttribute(Qt::WA_StyledBackground);
    // A ripple only shows where the finger was: a quick second touch on a switch beneath it must
    // reach the switch, and a touch on the background the dashboard, which starts another ripple.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    timeLine = new QTimeLine(LoopMs, this);
    timeLine->setFrameRange(0, LastFrame);
    timeLine->setLoopCount(Loops);
    connect(timeLine, &QTimeLine::frameChanged, this, &AnimationSigner::changeSlot);
    connect(timeLine, &QTimeLine::finished, this, &AnimationSigner::finshSlot);
}

bool AnimationSigner::ExecuteOne()
{
    timeLine->start();
    return true;
}

void AnimationSigner::changeSlot(int index)
{
    frameIndex = index;
    update();
}

// Deferred: the time line that is emitting finished() is a child of this widget.
void AnimationSigner::finshSlot()
{
    update();
    deleteLater();
}

// Never called while the ripple lets presses through; kept as the plain handler.
void AnimationSigner::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
}

// The inner disc keeps the alpha the previous paint left in `color`, so it fades one paint behind
// the ring.
void AnimationSigner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const int cx = width() / 2;
    const int cy = height() / 2;
    const int r = width() / 4;
    painter.setBrush(color);
    painter.drawEllipse(cx - r, cy - r, 2 * r, 2 * r);

    color.setAlphaF(RingStartOpacity * (LastFrame - frameIndex) / LastFrame);
    const int ringRadius = static_cast<int>(r + r * frameIndex / double(LastFrame));
    painter.setBrush(color);
    painter.drawEllipse(cx - ringRadius, cy - ringRadius, 2 * ringRadius, 2 * ringRadius);
}
