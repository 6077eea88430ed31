#include "paintkit.h"
#include "pictures.h"

#include <QFontMetricsF>
#include <QPainter>

using namespace Palette;

namespace {

// Drawn in a 40x40 box; the badge keeps the glyphs apart from the blue background.
void drawBadge(QPainter &p)
{
    const QPainterPath badge = Kit::circle(QPointF(20, 20), 18.4);
    Kit::fillShape(p, badge, Kit::radialGradient(QPointF(17, 15), 22, white, QColor(255, 232, 226)), QPen(red, 2.2));
}

void drawSmoke(QPainter &p)
{
    // Puffs growing as they rise from a smouldering spot: smoke, not a rain cloud.
    QPainterPath plume;
    plume.setFillRule(Qt::WindingFill);
    plume.addEllipse(QPointF(15, 27), 3.4, 3.4);
    plume.addEllipse(QPointF(17.5, 21), 4.4, 4.4);
    plume.addEllipse(QPointF(22.5, 15.5), 5.4, 5.4);
    plume.addEllipse(QPointF(28, 12.5), 4.2, 4.2);
    plume.addEllipse(QPointF(18, 13.5), 3.6, 3.6);
    const QPainterPath smoke = plume.simplified();
    Kit::fillShape(p, smoke, Kit::verticalGradient(smoke.boundingRect(), aluminium4, ink),
                   QPen(Kit::withAlpha(white, 200), 0.8));
    Kit::fillShape(p, Kit::circle(QPointF(14, 31.5), 3), Kit::radialGradient(QPointF(14, 31.5), 3, butter, orangeDark));
    QPainterPath ground;
    ground.moveTo(9, 34.5);
    ground.lineTo(24, 34.5);
    Kit::fillShape(p, Kit::strokeShape(ground, 1.8), Kit::withAlpha(redDark, 200));
}

void drawFlame(QPainter &p)
{
    QPainterPath outer;
    outer.moveTo(20, 33);
    outer.cubicTo(12, 33, 10, 26, 12, 21);
    outer.cubicTo(13.5, 17, 17, 15, 17, 9);
    outer.cubicTo(21, 12, 22, 16, 22, 18);
    outer.cubicTo(24, 16.5, 25, 15, 25, 13);
    outer.cubicTo(29, 18, 30, 23, 28, 27.5);
    outer.cubicTo(27, 31, 24, 33, 20, 33);
    outer.closeSubpath();
    Kit::fillShape(p, outer, Kit::verticalGradient(outer.boundingRect(), orange, red), QPen(redDark, 1));
    QPainterPath inner;
    inner.moveTo(20, 32);
    inner.cubicTo(16, 32, 15.5, 27.5, 17, 25);
    inner.cubicTo(18, 23, 20, 22, 20, 19.5);
    inner.cubicTo(23, 22, 25, 25, 24, 28);
    inner.cubicTo(23.5, 30.5, 22, 32, 20, 32);
    inner.closeSubpath();
    Kit::fillShape(p, inner, Kit::verticalGradient(inner.boundingRect(), butter, orangeLight));
}

void drawCarbonDioxide(QPainter &p)
{
    const QFont letters = Kit::font(sansFamily, 13, true);
    const QFont index = Kit::font(sansFamily, 9, true);
    const QFontMetricsF lettersMetrics(letters);
    const QFontMetricsF indexMetrics(index);
    const QString co = QStringLiteral("CO");
    const QString two = QStringLiteral("2");
    const qreal width = lettersMetrics.horizontalAdvance(co) + indexMetrics.horizontalAdvance(two);
    const qreal left = 20 - width / 2;
    const qreal baseline = 24.5;
    QPainterPath text;
    text.addText(QPointF(left, baseline), letters, co);
    text.addText(QPointF(left + lettersMetrics.horizontalAdvance(co), baseline + 3), index, two);
    Kit::fillShape(p, text, red);
}

void drawThermometer(QPainter &p)
{
    const QPainterPath tube = Kit::roundedRect(QRectF(16.5, 6.5, 7, 21), 3.5).united(Kit::circle(QPointF(20, 28), 5.6));
    Kit::fillShape(p, tube, white, QPen(ink, 1.4));
    const QPainterPath mercury = Kit::roundedRect(QRectF(18.6, 13, 2.8, 15), 1.4)
                                     .united(Kit::circle(QPointF(20, 28), 3.8));
    Kit::fillShape(p, mercury, red);
    p.save();
    p.setPen(QPen(ink, 1.2, Qt::SolidLine, Qt::RoundCap));
    for (const qreal y : {10.0, 14.0, 18.0, 22.0})
        p.drawLine(QPointF(25.5, y), QPointF(y == 14.0 || y == 22.0 ? 29 : 27.5, y));
    p.restore();
}

void drawBolt(QPainter &p)
{
    const QPolygonF bolt({QPointF(23, 5.5), QPointF(12.5, 22), QPointF(19, 22), QPointF(16, 34.5), QPointF(28.5, 16.5),
                          QPointF(21.5, 16.5), QPointF(26, 5.5)});
    QPainterPath shape;
    shape.addPolygon(bolt);
    shape.closeSubpath();
    Kit::fillShape(p, shape, Kit::verticalGradient(shape.boundingRect(), butter, orange),
                   QPen(redDark, 1.3, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
}

} // namespace

void drawAlarmBadge(QPainter &p, const QSizeF &size, Alarm alarm)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(40, 40));
    drawBadge(p);
    switch (alarm) {
    case Alarm::Smoke:
        drawSmoke(p);
        break;
    case Alarm::Gas:
        drawFlame(p);
        break;
    case Alarm::CarbonDioxide:
        drawCarbonDioxide(p);
        break;
    case Alarm::Temperature:
        drawThermometer(p);
        break;
    case Alarm::Leakage:
        drawBolt(p);
        break;
    }
}
