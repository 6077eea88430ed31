#include "paintkit.h"
#include "pictures.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>

using namespace Palette;

namespace {

const QColor shadowColour(0, 0, 0, 90);

// One drape hanging from the rod at top, gathered by a tie at tieY; outer is the wall side.
void drawDrape(QPainter &p, const QRectF &box, bool leftSide, qreal tieY)
{
    const qreal outer = leftSide ? box.left() : box.right();
    const qreal inner = leftSide ? box.right() : box.left();
    const qreal gathered = outer + (inner - outer) * 0.42;
    QPainterPath drape;
    drape.moveTo(outer, box.top());
    drape.lineTo(inner, box.top());
    drape.cubicTo(inner, box.top() + (tieY - box.top()) * 0.55, gathered, tieY - 10, gathered, tieY);
    drape.cubicTo(gathered, tieY + 12, inner - (inner - outer) * 0.18, box.bottom() - 16,
                  inner - (inner - outer) * 0.12, box.bottom());
    drape.lineTo(outer, box.bottom());
    drape.closeSubpath();

    Kit::dropShadow(p, drape, 2, QPointF(0, 1.5), shadowColour);
    QLinearGradient cloth(QPointF(box.left(), 0), QPointF(box.right(), 0));
    // Folds: alternating light and dark bands across the width.
    const int folds = 6;
    for (int i = 0; i <= folds; ++i)
        cloth.setColorAt(qreal(i) / folds, i % 2 == 0 ? plumLight : plum);
    Kit::fillShape(p, drape, cloth, QPen(plumDark, 1.2));

    const qreal tieWidth = std::abs(gathered - outer) + 6;
    const QRectF tie(std::min(outer, gathered) - (leftSide ? 2 : 4), tieY - 4, tieWidth, 8);
    Kit::fillShape(p, Kit::roundedRect(tie, 3), butterMid, QPen(butterDark, 1));
}

void drawRod(QPainter &p, qreal left, qreal right, qreal y, int rings)
{
    const QPainterPath rod = Kit::roundedRect(QRectF(left, y - 3, right - left, 6), 3);
    Kit::dropShadow(p, rod, 1.5, QPointF(0, 1.5), shadowColour);
    Kit::fillShape(p, rod, Kit::verticalGradient(rod.boundingRect(), aluminium3, aluminium5));
    for (const qreal x : {left, right})
        Kit::fillShape(p, Kit::circle(QPointF(x, y), 5.5),
                       Kit::radialGradient(QPointF(x - 1.5, y - 1.5), 6, aluminium2, aluminium5));
    for (int i = 0; i < rings; ++i) {
        const qreal x = left + 10 + (right - left - 20) * i / std::max(1, rings - 1);
        Kit::fillShape(p, Kit::strokeShape(Kit::circle(QPointF(x, y), 3.5), 1.6), aluminium4);
    }
}

// A window with sky; detailed adds sun, cloud and hills for the large curtain picture.
void drawWindow(QPainter &p, const QRectF &pane, bool detailed)
{
    const QPainterPath frame = Kit::roundedRect(pane, 4);
    Kit::fillShape(p, frame, Kit::verticalGradient(pane, skyTop, skyLight));
    if (detailed) {
        p.save();
        p.setClipPath(frame);
        Kit::fillShape(
            p, Kit::circle(pane.topRight() + QPointF(-pane.width() * 0.3, pane.height() * 0.22), pane.width() * 0.1),
            Kit::radialGradient(pane.topRight() + QPointF(-pane.width() * 0.3, pane.height() * 0.22),
                                pane.width() * 0.1, butter, orangeLight));
        QPainterPath cloud;
        cloud.setFillRule(Qt::WindingFill);
        const QPointF c = pane.topLeft() + QPointF(pane.width() * 0.3, pane.height() * 0.3);
        const qreal r = pane.width() * 0.07;
        cloud.addEllipse(c, r, r);
        cloud.addEllipse(c + QPointF(r * 1.1, -r * 0.5), r * 1.2, r * 1.2);
        cloud.addEllipse(c + QPointF(r * 2.3, 0), r, r);
        cloud.addRect(QRectF(c.x(), c.y(), r * 2.3, r));
        Kit::fillShape(p, cloud.simplified(), Kit::withAlpha(white, 230));
        QPainterPath hills;
        hills.moveTo(pane.left(), pane.bottom() - pane.height() * 0.2);
        hills.cubicTo(pane.left() + pane.width() * 0.3, pane.bottom() - pane.height() * 0.34,
                      pane.left() + pane.width() * 0.6, pane.bottom() - pane.height() * 0.12, pane.right(),
                      pane.bottom() - pane.height() * 0.26);
        hills.lineTo(pane.bottomRight());
        hills.lineTo(pane.bottomLeft());
        hills.closeSubpath();
        Kit::fillShape(p, hills, Kit::verticalGradient(hills.boundingRect(), green, greenDark));
        p.restore();
    }
    const qreal bar = detailed ? 5 : 3.5;
    QPainterPath cross;
    cross.moveTo(pane.center().x(), pane.top());
    cross.lineTo(pane.center().x(), pane.bottom());
    cross.moveTo(pane.left(), pane.center().y());
    cross.lineTo(pane.right(), pane.center().y());
    Kit::fillShape(p, Kit::strokeShape(cross, bar, Qt::FlatCap), white);
    Kit::fillShape(p, frame, Qt::NoBrush, QPen(white, bar + 1));
}

} // namespace

void drawAirConditioner(QPainter &p, const QSizeF &size, Backdrop backdrop)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(159, 104));
    const QRectF bodyBox(6, 8, 147, 54);
    const QPainterPath body = Kit::roundedRect(bodyBox, 14);
    Kit::dropShadow(p, body, 2.5, QPointF(0, 2), shadowColour);
    Kit::fillShape(p, body, Kit::verticalGradient(bodyBox, white, aluminium2), QPen(aluminium4, 1.5));

    // Air outlet with its louvre.
    const QRectF outlet(20, 46, 119, 9);
    Kit::fillShape(p, Kit::roundedRect(outlet, 4.5), Kit::verticalGradient(outlet, aluminium5, ink));
    p.save();
    p.setPen(QPen(aluminium3, 1.6));
    p.drawLine(QPointF(26, 50.5), QPointF(133, 50.5));
    p.restore();

    // Display with a status light.
    const QRectF display(108, 18, 32, 16);
    Kit::fillShape(p, Kit::roundedRect(display, 4), Kit::verticalGradient(display, skyDeep, night));
    Kit::fillShape(p, Kit::roundedRect(QRectF(113, 23, 14, 6), 2), QColor(120, 220, 255));
    Kit::fillShape(p, Kit::circle(QPointF(133.5, 26), 2.4), greenLight);

    // Cool air falling from the outlet.
    const QColor air = backdrop == Backdrop::Blue ? Kit::withAlpha(white, 235) : skyMid;
    for (const qreal x : {48.0, 79.5, 111.0}) {
        QPainterPath wave;
        wave.moveTo(x, 66);
        wave.cubicTo(x - 8, 74, x + 8, 82, x, 90);
        wave.cubicTo(x - 4, 94, x - 2, 97, x, 99);
        const QPainterPath shape = Kit::strokeShape(wave, 5);
        if (backdrop == Backdrop::Blue)
            Kit::drawGlyph(p, shape, air);
        else
            Kit::fillShape(p, shape, air);
    }
}

void drawTelevision(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(218, 173));
    const QPainterPath stand = Kit::roundedRect(QRectF(98, 138, 22, 20), 2)
                                   .united(Kit::roundedRect(QRectF(62, 154, 94, 11), 5.5));
    Kit::dropShadow(p, stand, 2, QPointF(0, 2), shadowColour);
    Kit::fillShape(p, stand, Kit::verticalGradient(stand.boundingRect(), aluminium4, aluminium5));

    const QRectF bezelBox(6, 6, 206, 136);
    const QPainterPath bezel = Kit::roundedRect(bezelBox, 12);
    Kit::dropShadow(p, bezel, 3, QPointF(0, 3), shadowColour);
    Kit::fillShape(p, bezel, Kit::verticalGradient(bezelBox, QColor(72, 78, 80), QColor(30, 34, 36)),
                   QPen(aluminium5, 1.5));

    const QRectF screenBox(16, 16, 186, 112);
    const QPainterPath screen = Kit::roundedRect(screenBox, 5);
    QLinearGradient glass(screenBox.topLeft(), screenBox.bottomRight());
    glass.setColorAt(0, skyTop);
    glass.setColorAt(0.5, skyBottom);
    glass.setColorAt(1, skyDeep);
    Kit::fillShape(p, screen, glass);
    // A diagonal reflection across the glass.
    QPainterPath sheen;
    sheen.addPolygon(QPolygonF({QPointF(16, 16), QPointF(120, 16), QPointF(60, 128), QPointF(16, 128)}));
    Kit::fillShape(p, sheen.intersected(screen), Kit::withAlpha(white, 34));

    QPainterPath play;
    play.addPolygon(QPolygonF({QPointF(98, 52), QPointF(126, 72), QPointF(98, 92)}));
    Kit::drawGlyph(p, Kit::softPolygon(play.toFillPolygon(), 3), Kit::withAlpha(white, 235));
    Kit::fillShape(p, Kit::circle(QPointF(196, 135), 2.5), greenLight);
}

void drawLightBulb(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(197, 221));
    const QPointF centre(98.5, 86);
    Kit::fillShape(p, Kit::circle(centre, 96),
                   Kit::radialGradient(centre, 96, Kit::withAlpha(butter, 150), Kit::withAlpha(butter, 0)));
    QPainterPath rayLines;
    for (int i = 0; i < 7; ++i) {
        const qreal a = qDegreesToRadians(180.0 + 30.0 * i);
        QPainterPath ray;
        ray.moveTo(centre + QPointF(std::cos(a), std::sin(a)) * 70);
        ray.lineTo(centre + QPointF(std::cos(a), std::sin(a)) * 90);
        rayLines = rayLines.united(Kit::strokeShape(ray, 8));
    }
    Kit::fillShape(p, rayLines, orangeLight, QPen(Kit::withAlpha(orangeDark, 160), 1.5));

    QPainterPath globe;
    globe.moveTo(80, 156);
    globe.lineTo(78, 142);
    globe.cubicTo(74, 126, 44, 114, 44, 86);
    globe.arcTo(QRectF(44, 31.5, 109, 109), 180, -180);
    globe.cubicTo(153, 114, 123, 126, 119, 142);
    globe.lineTo(117, 156);
    globe.closeSubpath();
    Kit::dropShadow(p, globe, 3, QPointF(0, 2), Kit::withAlpha(orangeDark, 120));
    QRadialGradient glass(QPointF(88, 70), 80);
    glass.setColorAt(0, QColor(255, 253, 225));
    glass.setColorAt(0.5, butter);
    glass.setColorAt(1, butterMid);
    Kit::fillShape(p, globe, glass, QPen(butterDark, 3));

    QPainterPath filament;
    filament.moveTo(86, 142);
    filament.lineTo(86, 112);
    filament.lineTo(92, 102);
    filament.lineTo(98.5, 112);
    filament.lineTo(105, 102);
    filament.lineTo(111, 112);
    filament.lineTo(111, 142);
    Kit::fillShape(p, Kit::strokeShape(filament, 3.5), orangeDark);

    QPainterPath highlight;
    highlight.arcMoveTo(QRectF(58, 46, 80, 80), 110);
    highlight.arcTo(QRectF(58, 46, 80, 80), 110, 55);
    Kit::fillShape(p, Kit::strokeShape(highlight, 7), Kit::withAlpha(white, 200));

    // Screw base.
    for (int i = 0; i < 3; ++i) {
        const QRectF band(80 + i * 1.5, 156 + i * 12, 37 - i * 3, 11);
        Kit::fillShape(p, Kit::roundedRect(band, 4),
                       Kit::verticalGradient(band, aluminium2, i % 2 == 0 ? aluminium4 : aluminium5),
                       QPen(aluminium5, 1));
    }
    Kit::fillShape(p, Kit::roundedRect(QRectF(89, 191, 19, 10), 5), ink);
}

void drawCurtainLogo(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(118, 122));
    drawWindow(p, QRectF(22, 20, 74, 90), false);
    drawRod(p, 8, 110, 13, 0);
    drawDrape(p, QRectF(10, 16, 38, 100), true, 66);
    drawDrape(p, QRectF(70, 16, 38, 100), false, 66);
}

void drawCurtainWindow(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(240, 255));
    const QRectF pane(36, 30, 168, 184);
    drawWindow(p, pane, true);
    const QRectF sill(24, 214, 192, 12);
    const QPainterPath sillShape = Kit::roundedRect(sill, 4);
    Kit::dropShadow(p, sillShape, 2, QPointF(0, 2), shadowColour);
    Kit::fillShape(p, sillShape, Kit::verticalGradient(sill, white, aluminium3));
    drawRod(p, 12, 228, 18, 8);
    drawDrape(p, QRectF(14, 22, 70, 226), true, 140);
    drawDrape(p, QRectF(156, 22, 70, 226), false, 140);
}

void drawStandingFan(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(82, 100));
    const QPointF centre(41, 36);
    const QPainterPath stand = Kit::roundedRect(QRectF(37, 62, 8, 26), 3)
                                   .united(Kit::roundedRect(QRectF(18, 84, 46, 11), 5.5));
    Kit::fillShape(p, stand, Kit::verticalGradient(stand.boundingRect(), aluminium4, aluminium5));

    const QPainterPath guard = Kit::circle(centre, 32);
    Kit::dropShadow(p, guard, 2, QPointF(0, 2), shadowColour);
    Kit::fillShape(p, guard, Kit::withAlpha(white, 200), QPen(aluminium5, 4));

    QPainterPath blade;
    blade.moveTo(centre);
    blade.cubicTo(centre + QPointF(14, -2), centre + QPointF(27, -12), centre + QPointF(16, -24));
    blade.cubicTo(centre + QPointF(8, -30), centre + QPointF(-4, -16), centre);
    blade.closeSubpath();
    QPainterPath blades;
    for (int i = 0; i < 3; ++i) {
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(120.0 * i);
        turn.translate(-centre.x(), -centre.y());
        blades = blades.united(turn.map(blade));
    }
    Kit::fillShape(p, blades, Kit::verticalGradient(blades.boundingRect(), skyLight, skyMid), QPen(skyDeep, 1.5));
    Kit::fillShape(p, Kit::circle(centre, 6), aluminium5);
}

void drawRoomController(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(140, 140));
    const QRectF tileBox(6, 5, 128, 128);
    const QPainterPath tile = Kit::roundedRect(tileBox, 26);
    Kit::dropShadow(p, tile, 3, QPointF(0, 2.5), QColor(0, 0, 0, 100));
    Kit::fillShape(p, tile, Kit::verticalGradient(tileBox, skyLight, skyMid), QPen(Kit::withAlpha(white, 150), 2));

    // The bus the controller hangs on.
    QPainterPath bus;
    bus.moveTo(22, 120);
    bus.lineTo(118, 120);
    bus.moveTo(70, 104);
    bus.lineTo(70, 120);
    Kit::fillShape(p, Kit::strokeShape(bus, 4), Kit::withAlpha(white, 200));
    for (const qreal x : {22.0, 118.0})
        Kit::fillShape(p, Kit::circle(QPointF(x, 120), 4), white);

    const QRectF boxRect(34, 20, 72, 86);
    const QPainterPath box = Kit::roundedRect(boxRect, 12);
    Kit::dropShadow(p, box, 2, QPointF(0, 2), QColor(0, 0, 0, 110));
    Kit::fillShape(p, box, Kit::verticalGradient(boxRect, white, aluminium2), QPen(aluminium4, 1.2));

    const QRectF screenRect(42, 28, 56, 36);
    Kit::fillShape(p, Kit::roundedRect(screenRect, 5), Kit::verticalGradient(screenRect, skyDeep, night));
    // A pulse on the screen: the controller answers.
    QPainterPath pulse;
    pulse.moveTo(47, 48);
    pulse.lineTo(58, 48);
    pulse.lineTo(63, 38);
    pulse.lineTo(70, 56);
    pulse.lineTo(75, 46);
    pulse.lineTo(93, 46);
    Kit::fillShape(p, Kit::strokeShape(pulse, 2.6), greenLight);

    const QColor lights[] = {green, orangeLight, redLight};
    for (int i = 0; i < 3; ++i)
        Kit::fillShape(p, Kit::circle(QPointF(56 + 14 * i, 84), 4.5), lights[i], QPen(Kit::withAlpha(ink, 120), 1));
}
