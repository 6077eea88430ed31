#include "paintkit.h"
#include "pictures.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>

using namespace Palette;

namespace {

// A U-turn arrow in a 100x100 box: the back sign of every return button.
QPainterPath backArrow()
{
    QPainterPath shaft;
    shaft.moveTo(40, 38);
    shaft.lineTo(60, 38);
    shaft.arcTo(QRectF(44, 38, 32, 34), 90, -180);
    shaft.lineTo(36, 72);
    QPainterPath head;
    head.addPolygon(QPolygonF({QPointF(22, 38), QPointF(42, 24), QPointF(42, 52)}));
    head.closeSubpath();
    return Kit::strokeShape(shaft, 10).united(Kit::softPolygon(head.toFillPolygon(), 2)).simplified();
}

QPainterPath houseGlyph()
{
    QPainterPath roof;
    roof.moveTo(20, 50);
    roof.lineTo(50, 22);
    roof.lineTo(80, 50);
    QPainterPath body;
    body.addPolygon(QPolygonF({QPointF(30, 48), QPointF(70, 48), QPointF(70, 80), QPointF(30, 80)}));
    body.closeSubpath();
    QPainterPath door;
    door.addRoundedRect(QRectF(44, 60, 12, 20), 3, 3);
    return Kit::strokeShape(roof, 9).united(Kit::softPolygon(body.toFillPolygon(), 2)).subtracted(door).simplified();
}

} // namespace

void drawReturnButton(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(100, 100));
    const QPainterPath disc = Kit::circle(QPointF(50, 49), 44);
    Kit::dropShadow(p, disc, 2.5, QPointF(0, 2.5), QColor(0, 0, 0, 110));
    Kit::fillShape(p, disc, Kit::verticalGradient(disc.boundingRect(), skyLight, skyDeep),
                   QPen(Kit::withAlpha(white, 225), 3.5));
    // Gloss on the upper half.
    QPainterPath gloss;
    gloss.addEllipse(QRectF(18, 10, 64, 40));
    Kit::fillShape(p, gloss.intersected(disc),
                   Kit::verticalGradient(gloss.boundingRect(), Kit::withAlpha(white, 80), Kit::withAlpha(white, 0)));
    Kit::drawGlyph(p, backArrow().translated(0, 2), white);
}

void drawRemoteKey(QPainter &p, const QSizeF &size, RemoteKey key)
{
    const QRectF cap = Kit::area(size).adjusted(2, 2, -2, -3);
    const QPainterPath shape = Kit::roundedRect(cap, std::min(cap.width(), cap.height()) * 0.24);
    Kit::dropShadow(p, shape, 1, QPointF(0, 1), QColor(0, 0, 0, 90));
    Kit::fillShape(p, shape, Kit::verticalGradient(cap, Kit::withAlpha(white, 90), Kit::withAlpha(white, 35)),
                   QPen(Kit::withAlpha(white, 190), 1.5));
    const qreal side = std::min(cap.width(), cap.height()) * 0.92;
    p.save();
    Kit::mapDesignBox(p, QRectF(cap.center() - QPointF(side / 2, side / 2), QSizeF(side, side)), QSizeF(100, 100));
    const QPainterPath glyph = key == RemoteKey::Home ? houseGlyph() : backArrow();
    Kit::drawGlyph(p, glyph, white);
    p.restore();
}

void drawToggleSwitch(QPainter &p, const QSizeF &size, SwitchLook look)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(145, 73));
    const bool on = look == SwitchLook::On;
    const bool dimmed = look == SwitchLook::OffDimmed;
    const QRectF trackBox(4, 5, 137, 62);
    const QPainterPath track = Kit::roundedRect(trackBox, 31);

    const QColor top = on ? greenLight : dimmed ? aluminium1 : aluminium3;
    const QColor bottom = on ? greenDark : dimmed ? aluminium2 : aluminium4;
    const QColor rim = on ? QColor(62, 124, 4) : dimmed ? aluminium3 : aluminium5;
    Kit::dropShadow(p, track, 2, QPointF(0, 1.5), QColor(0, 0, 0, dimmed ? 40 : 80));
    Kit::fillShape(p, track, Kit::verticalGradient(trackBox, top, bottom), QPen(rim, 1.5));
    // Inner shade along the top edge makes the track read as a groove.
    Kit::fillShape(p, track.intersected(Kit::roundedRect(trackBox.adjusted(0, 0, 0, -34), 20)),
                   Kit::verticalGradient(trackBox, QColor(0, 0, 0, 40), QColor(0, 0, 0, 0)));

    // "I" on the free side of an on switch, "O" on the free side of an off one.
    const QColor markColour = on ? Kit::withAlpha(white, 235)
                                 : Kit::withAlpha(dimmed ? aluminium4 : white, dimmed ? 140 : 220);
    if (on) {
        QPainterPath bar;
        bar.moveTo(38, 24);
        bar.lineTo(38, 48);
        Kit::fillShape(p, Kit::strokeShape(bar, 6), markColour);
    } else {
        Kit::fillShape(p, Kit::strokeShape(Kit::circle(QPointF(106, 36), 10), 5), markColour);
    }

    const QPointF knobCentre(on ? 110 : 35, 36);
    const QPainterPath knob = Kit::circle(knobCentre, 27);
    Kit::dropShadow(p, knob, 2.5, QPointF(0, 2), QColor(0, 0, 0, dimmed ? 50 : 110));
    Kit::fillShape(p, knob, Kit::verticalGradient(knob.boundingRect(), white, dimmed ? aluminium1 : aluminium2),
                   QPen(dimmed ? aluminium2 : aluminium3, 1.2));
}

void drawPowerGlyph(QPainter &p, const QSizeF &size, bool on)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(73, 80));
    const QPointF centre(36.5, 43);
    const qreal radius = 23;
    QPainterPath ring;
    const QRectF ringBox(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
    ring.arcMoveTo(ringBox, 125);
    ring.arcTo(ringBox, 125, 290);
    QPainterPath stem;
    stem.moveTo(centre.x(), 12);
    stem.lineTo(centre.x(), 40);
    const QPainterPath glyph = Kit::strokeShape(ring, 7.5).united(Kit::strokeShape(stem, 7.5));
    if (on) {
        Kit::dropShadow(p, glyph, 4, QPointF(0, 0), Kit::withAlpha(greenLight, 255));
        Kit::drawGlyph(p, glyph, QColor(196, 255, 140));
    } else {
        Kit::drawGlyph(p, glyph, Kit::withAlpha(aluminium1, 235));
    }
}

void drawDirectionArrow(QPainter &p, const QSizeF &size, Direction direction)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(100, 100));
    qreal angle = 0;
    switch (direction) {
    case Direction::Up:
        angle = 0;
        break;
    case Direction::Right:
        angle = 90;
        break;
    case Direction::Down:
        angle = 180;
        break;
    case Direction::Left:
        angle = 270;
        break;
    }
    QTransform turn;
    turn.translate(50, 50);
    turn.rotate(angle);
    turn.translate(-50, -50);
    const QPolygonF triangle({QPointF(50, 24), QPointF(80, 70), QPointF(20, 70)});
    const QPainterPath arrow = turn.map(Kit::softPolygon(triangle, 7));
    Kit::drawGlyph(p, arrow, Kit::verticalGradient(arrow.boundingRect(), white, aluminium1));
}

void drawCurtainMove(QPainter &p, const QSizeF &size, CurtainMove move)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(100, 50));
    // The window's middle; the arrows show which way the drapes travel.
    QPainterPath middle;
    middle.moveTo(50, 8);
    middle.lineTo(50, 42);
    QPainterPath glyph = Kit::strokeShape(middle, 4.5);
    const bool open = move == CurtainMove::Open;
    for (const int side : {-1, 1}) {
        const int pointing = open ? side : -side;
        const qreal tip = open ? 50 + side * 46 : 50 + side * 11;
        const qreal tail = open ? 50 + side * 12 : 50 + side * 46;
        const qreal headBase = tip - pointing * 15;
        QPainterPath shaft;
        shaft.moveTo(tail, 25);
        shaft.lineTo(headBase, 25);
        const QPolygonF head({QPointF(tip, 25), QPointF(headBase, 13), QPointF(headBase, 37)});
        glyph = glyph.united(Kit::strokeShape(shaft, 7)).united(Kit::softPolygon(head, 2));
    }
    Kit::drawGlyph(p, glyph.simplified(), white);
}

void drawPauseGlyph(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(50, 50));
    const QPainterPath bars = Kit::roundedRect(QRectF(14, 12, 8, 26), 3)
                                  .united(Kit::roundedRect(QRectF(28, 12, 8, 26), 3));
    Kit::drawGlyph(p, bars, white);
}

void drawDimmerKnob(QPainter &p, const QSizeF &size, int glow)
{
    // glow 1..5: from a dim knob to a fully lit one; 3 is the handle of the dimmers.
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(48, 48));
    const QPointF centre(24, 24);
    const qreal lit = (glow - 1) / 4.0;
    const QPainterPath knob = Kit::circle(centre, 20);
    if (glow >= 4)
        Kit::dropShadow(p, knob, 2.5, QPointF(0, 0), Kit::withAlpha(butter, int(160 * lit)));
    else
        Kit::dropShadow(p, knob, 1.5, QPointF(0, 1), QColor(0, 0, 0, 110));

    QRadialGradient body(QPointF(20, 18), 24);
    body.setColorAt(0, white);
    body.setColorAt(0.55, QColor::fromRgbF(1.0, 0.93 - 0.1 * lit, 0.75 - 0.45 * lit));
    body.setColorAt(1, QColor::fromRgbF(0.85 + 0.11 * lit, 0.55 + 0.1 * lit, 0.2));
    Kit::fillShape(p, knob, body, QPen(orangeDark, 1.6));

    // A small sun: the knob sets a brightness.
    QPainterPath sun = Kit::circle(centre, 4.5);
    for (int i = 0; i < 8; ++i) {
        const qreal a = qDegreesToRadians(45.0 * i);
        QPainterPath ray;
        ray.moveTo(centre + QPointF(std::cos(a), std::sin(a)) * 8);
        ray.lineTo(centre + QPointF(std::cos(a), std::sin(a)) * 11.5);
        sun = sun.united(Kit::strokeShape(ray, 2.4));
    }
    Kit::fillShape(p, sun, Kit::withAlpha(orangeDark, 150 + 20 * glow));
}

void drawAddButton(QPainter &p, const QSizeF &size)
{
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(100, 100));
    const QPainterPath disc = Kit::circle(QPointF(50, 49), 44);
    Kit::dropShadow(p, disc, 2.5, QPointF(0, 2.5), QColor(0, 0, 0, 100));
    Kit::fillShape(p, disc, Kit::verticalGradient(disc.boundingRect(), skyLight, skyMid),
                   QPen(Kit::withAlpha(white, 220), 3));
    QPainterPath plus;
    plus.moveTo(50, 27);
    plus.lineTo(50, 71);
    plus.moveTo(28, 49);
    plus.lineTo(72, 49);
    Kit::drawGlyph(p, Kit::strokeShape(plus, 11), white);
}
