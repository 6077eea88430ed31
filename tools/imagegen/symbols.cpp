#include "paintkit.h"
#include "pictures.h"

#include <QPainter>
#include <QtMath>

#include <cmath>

using namespace Palette;

namespace {

QPointF polar(const QPointF &centre, qreal radius, qreal degrees)
{
    const qreal a = qDegreesToRadians(degrees);
    return centre + QPointF(std::cos(a), std::sin(a)) * radius;
}

QPainterPath line(const QPointF &from, const QPointF &to)
{
    QPainterPath path;
    path.moveTo(from);
    path.lineTo(to);
    return path;
}

// Rays around a centre, from inner to outer radius, the first one at startDegrees.
QPainterPath rays(const QPointF &centre, int count, qreal inner, qreal outer, qreal width, qreal startDegrees = 0)
{
    QPainterPath result;
    for (int i = 0; i < count; ++i) {
        const qreal angle = startDegrees + 360.0 * i / count;
        result = result.united(Kit::strokeShape(line(polar(centre, inner, angle), polar(centre, outer, angle)), width));
    }
    return result;
}

// A drop with its tip at the top, height h, width two thirds of it.
QPainterPath drop(const QPointF &tip, qreal h)
{
    const qreal r = h * 0.33;
    const QPointF centre(tip.x(), tip.y() + h - r);
    QPainterPath path;
    path.moveTo(tip);
    path.cubicTo(tip + QPointF(r * 0.35, h * 0.28), centre + QPointF(r, -r * 0.45), centre + QPointF(r, 0));
    path.arcTo(QRectF(centre - QPointF(r, r), QSizeF(2 * r, 2 * r)), 0, -180);
    path.cubicTo(centre + QPointF(-r, -r * 0.45), tip + QPointF(-r * 0.35, h * 0.28), tip);
    path.closeSubpath();
    return path;
}

QPainterPath fanBlades(const QPointF &centre, qreal radius)
{
    QPainterPath blade;
    blade.moveTo(centre);
    blade.cubicTo(centre + QPointF(radius * 0.55, -radius * 0.15), centre + QPointF(radius * 1.05, -radius * 0.55),
                  centre + QPointF(radius * 0.55, -radius * 0.95));
    blade.cubicTo(centre + QPointF(radius * 0.2, -radius * 1.1), centre + QPointF(-radius * 0.2, -radius * 0.6),
                  centre);
    blade.closeSubpath();
    QPainterPath blades;
    for (int i = 0; i < 3; ++i) {
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(120.0 * i);
        turn.translate(-centre.x(), -centre.y());
        blades = blades.united(turn.map(blade));
    }
    return blades;
}

} // namespace

void drawCoolMode(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(72, 80));
    const QPointF centre(36, 40);
    QPainterPath flake;
    for (int i = 0; i < 6; ++i) {
        const qreal angle = 90 + 60.0 * i;
        flake = flake.united(Kit::strokeShape(line(centre, polar(centre, 29, angle)), 5));
        const QPointF fork = polar(centre, 18, angle);
        for (const int side : {-1, 1})
            flake = flake.united(Kit::strokeShape(line(fork, polar(fork, 9, angle + side * 48)), 4));
    }
    Kit::drawGlyph(p, flake, Kit::verticalGradient(flake.boundingRect(), white, QColor(205, 232, 255)));
}

void drawHeatMode(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(81, 80));
    const QPointF centre(40.5, 40);
    Kit::drawGlyph(p, rays(centre, 8, 22, 33, 5.5, 22.5), orangeLight);
    const QPainterPath core = Kit::circle(centre, 15);
    Kit::dropShadow(p, core, 1.2, QPointF(0, 1.2), glyphShadow);
    Kit::fillShape(p, core, Kit::radialGradient(centre - QPointF(4, 4), 19, butter, orange),
                   QPen(Kit::withAlpha(white, 200), 1.5));
}

void drawDryMode(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(74, 80));
    const QPainterPath big = drop(QPointF(31, 18), 52);
    const QPainterPath small = drop(QPointF(56, 8), 26);
    const QBrush water = Kit::verticalGradient(QRectF(0, 8, 74, 64), white, QColor(190, 226, 255));
    Kit::drawGlyph(p, big.united(small), water);
    // A highlight so the drops read as water, not as blobs.
    QPainterPath shine;
    shine.arcMoveTo(QRectF(19, 44, 24, 24), 200);
    shine.arcTo(QRectF(19, 44, 24, 24), 200, 55);
    Kit::fillShape(p, Kit::strokeShape(shine, 3.2), Kit::withAlpha(skyLight, 200));
}

void drawFanMode(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(80, 62));
    const QPointF centre(40, 31);
    const QPainterPath blades = fanBlades(centre, 28).subtracted(Kit::circle(centre, 7.5));
    Kit::drawGlyph(p, blades.united(Kit::circle(centre, 5)), white);
}

void drawWindSpeed(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(79, 63));
    // Three gusts ending in curls: the caption of the speed slider.
    QPainterPath gusts;
    QPainterPath top;
    top.moveTo(8, 20);
    top.lineTo(50, 20);
    top.arcTo(QRectF(42, 4, 16, 16), 270, 270);
    gusts = gusts.united(Kit::strokeShape(top, 5));
    QPainterPath middle;
    middle.moveTo(8, 32);
    middle.lineTo(63, 32);
    middle.arcTo(QRectF(56, 18, 14, 14), 270, 230);
    gusts = gusts.united(Kit::strokeShape(middle, 5));
    QPainterPath bottom;
    bottom.moveTo(16, 44);
    bottom.lineTo(44, 44);
    bottom.arcTo(QRectF(36, 44, 16, 16), 90, -270);
    gusts = gusts.united(Kit::strokeShape(bottom, 5));
    Kit::drawGlyph(p, gusts, white);
}

void drawVolume(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(73, 58));
    QPainterPath speaker;
    speaker.addPolygon(QPolygonF(
        {QPointF(8, 22), QPointF(18, 22), QPointF(32, 10), QPointF(32, 48), QPointF(18, 36), QPointF(8, 36)}));
    speaker.closeSubpath();
    QPainterPath glyph = Kit::softPolygon(speaker.toFillPolygon(), 1.5);
    const QPointF mouth(32, 29);
    for (const qreal radius : {12.0, 22.0, 32.0}) {
        QPainterPath wave;
        const QRectF box(mouth - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
        wave.arcMoveTo(box, -42);
        wave.arcTo(box, -42, 84);
        glyph = glyph.united(Kit::strokeShape(wave, 5));
    }
    Kit::drawGlyph(p, glyph, white);
}

void drawBrightness(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(73, 73));
    const QPointF centre(36.5, 36.5);
    // Half-filled disc: a level, not a weather sun.
    QPainterPath half;
    half.moveTo(centre + QPointF(0, -13));
    half.arcTo(QRectF(centre - QPointF(13, 13), QSizeF(26, 26)), 90, 180);
    half.closeSubpath();
    const QPainterPath
        glyph = Kit::strokeShape(Kit::circle(centre, 13), 4.5).united(half).united(rays(centre, 8, 21, 30, 5));
    Kit::drawGlyph(p, glyph, white);
}

void drawWeatherSun(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(90, 92));
    const QPointF centre(45, 46);
    Kit::dropShadow(p, Kit::circle(centre, 26), 6, QPointF(0, 0), Kit::withAlpha(butter, 200));
    QPainterPath spikes;
    for (int i = 0; i < 12; ++i) {
        const qreal angle = 30.0 * i;
        spikes = spikes.united(Kit::softPolygon(
            QPolygonF({polar(centre, 42, angle), polar(centre, 28, angle - 8), polar(centre, 28, angle + 8)}), 1.5));
    }
    Kit::drawGlyph(p, spikes, orangeLight);
    const QPainterPath core = Kit::circle(centre, 24);
    Kit::fillShape(p, core, Kit::radialGradient(centre - QPointF(7, 8), 32, QColor(255, 250, 190), orange),
                   QPen(orangeDark, 1.5));
}
