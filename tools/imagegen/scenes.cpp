#include "paintkit.h"
#include "pictures.h"

#include <QPainter>

#include <functional>
#include <vector>

using namespace Palette;

namespace {

// A soft patch of light or shade; centre and radius are fractions of the picture's width and
// height, so the patch stays in place whatever the size.
struct Patch
{
    QPointF centre;
    qreal radius;
    QColor colour;
};

// A gradient with patches, blurred hard: no edge is left to show when the picture is stretched.
QImage softBackdrop(const QSize &size, const QColor &top, const QColor &bottom, const std::vector<Patch> &patches,
                    int blur)
{
    QImage layer(size, QImage::Format_ARGB32_Premultiplied);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(area, Kit::verticalGradient(area, top, bottom));
    p.setPen(Qt::NoPen);
    for (const Patch &patch : patches) {
        p.setBrush(patch.colour);
        p.drawEllipse(QPointF(patch.centre.x() * area.width(), patch.centre.y() * area.height()),
                      patch.radius * area.width(), patch.radius * area.height());
    }
    p.end();
    return Kit::blurred(layer, blur);
}

void drawInBox(QPainter &p, const QRectF &box, const std::function<void(QPainter &, const QSizeF &)> &draw)
{
    p.save();
    p.translate(box.topLeft());
    draw(p, box.size());
    p.restore();
}

// A hand with its index finger up, in a 100x100 box, and ripples above the fingertip.
QPainterPath tappingHand()
{
    QPainterPath hand = Kit::roundedRect(QRectF(41, 22, 17, 50), 8.5);
    hand = hand.united(Kit::roundedRect(QRectF(30, 50, 46, 40), 15));
    hand = hand.united(Kit::roundedRect(QRectF(57, 44, 13, 24), 6.5));
    hand = hand.united(Kit::roundedRect(QRectF(67, 48, 12, 22), 6));
    QPainterPath thumb;
    thumb.moveTo(36, 72);
    thumb.lineTo(24, 58);
    hand = hand.united(Kit::strokeShape(thumb, 13));
    // Gaps between the folded fingers.
    QPainterPath gaps;
    gaps.moveTo(57.5, 52);
    gaps.lineTo(57.5, 66);
    gaps.moveTo(68, 55);
    gaps.lineTo(68, 68);
    hand = hand.subtracted(Kit::strokeShape(gaps, 2.2));
    for (const qreal radius : {11.0, 20.0}) {
        QPainterPath ripple;
        const QRectF box(QPointF(49.5, 24) - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
        ripple.arcMoveTo(box, 35);
        ripple.arcTo(box, 35, 110);
        hand = hand.united(Kit::strokeShape(ripple, 3.6));
    }
    return hand.simplified();
}

void drawTouchTarget(QPainter &p, const QPointF &centre)
{
    p.save();
    p.setBrush(Kit::withAlpha(white, 16));
    p.setPen(QPen(Kit::withAlpha(white, 40), 3));
    p.drawEllipse(centre, 250, 250);
    p.setBrush(Kit::withAlpha(white, 22));
    p.setPen(QPen(Kit::withAlpha(white, 70), 3));
    p.drawEllipse(centre, 205, 205);
    p.restore();

    const QPainterPath disc = Kit::circle(centre, 160);
    Kit::dropShadow(p, disc, 14, QPointF(0, 10), QColor(0, 0, 0, 120));
    const QRectF discBox = disc.boundingRect();
    Kit::fillShape(p, disc, Kit::verticalGradient(discBox, skyTop, skyBottom), QPen(Kit::withAlpha(white, 235), 7));

    p.save();
    Kit::mapDesignBox(p, discBox.adjusted(48, 36, -48, -60), QSizeF(100, 100));
    Kit::drawGlyph(p, tappingHand(), white);
    p.restore();
}

void drawApplianceRow(QPainter &p, qreal centreY)
{
    struct Entry
    {
        QString caption;
        QSizeF iconSize;
        std::function<void(QPainter &, const QSizeF &)> draw;
    };
    const std::vector<Entry> entries{
        {QStringLiteral("空调"),
         {92, 62},
         [](QPainter &q, const QSizeF &s) { drawAirConditioner(q, s, Backdrop::Blue); }},
        {QStringLiteral("电视"), {82, 66}, drawTelevision},
        {QStringLiteral("灯光"), {56, 62}, drawLightBulb},
        {QStringLiteral("窗帘"), {60, 62}, drawCurtainLogo},
        {QStringLiteral("风扇"), {48, 58}, drawStandingFan},
    };
    const qreal spacing = 210;
    const qreal firstX = 960 - spacing * (entries.size() - 1) / 2;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QPointF centre(firstX + spacing * i, centreY);
        Kit::fillShape(p, Kit::circle(centre, 60), Kit::withAlpha(white, 36), QPen(Kit::withAlpha(white, 90), 2));
        const QSizeF icon = entries[i].iconSize;
        drawInBox(p, QRectF(centre - QPointF(icon.width() / 2, icon.height() / 2), icon), entries[i].draw);
        Kit::drawRaisedCaption(p, QRectF(centre.x() - 80, centre.y() + 66, 160, 40), entries[i].caption,
                               Kit::font(kaiFamily, 28), aluminium1);
    }
}

} // namespace

void drawStartPicture(QPainter &p, const QSizeF &size)
{
    p.drawImage(0, 0,
                softBackdrop(size.toSize(), QColor(46, 96, 160), QColor(16, 40, 80),
                             {{{0.5, 0.44}, 0.22, Kit::withAlpha(skyTop, 110)},
                              {{0.04, 0.02}, 0.2, Kit::withAlpha(skyLight, 70)},
                              {{0.98, 1.0}, 0.25, Kit::withAlpha(night, 140)}},
                             70));
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(1920, 1080));

    Kit::drawRaisedCaption(p, QRectF(0, 44, 1920, 100), QStringLiteral("房间设备控制面板"),
                           Kit::font(kaiFamily, 76, true), white);
    QFont subtitle = Kit::font(sansFamily, 24);
    subtitle.setLetterSpacing(QFont::AbsoluteSpacing, 10);
    Kit::drawCaption(p, QRectF(0, 146, 1920, 40), QStringLiteral("ROOM CONTROL PANEL"), subtitle,
                     Kit::withAlpha(aluminium2, 210));

    // The touch area of the main window is x 301..1599, y 201..799: everything inviting a touch
    // stays inside it.
    drawTouchTarget(p, QPointF(960, 440));
    Kit::drawRaisedCaption(p, QRectF(0, 694, 1920, 72), QStringLiteral("轻触进入"), Kit::font(kaiFamily, 60, true),
                           white);
    Kit::drawCaption(p, QRectF(0, 762, 1920, 32), QStringLiteral("Touch to enter"), Kit::font(sansFamily, 24),
                     Kit::withAlpha(aluminium2, 200));

    drawApplianceRow(p, 892);
}

namespace {

// The frame around Home's yellow touch button at (1102, 515, 80, 44). The button itself lies on
// plain card colour so that it looks set into the card.
void drawEntrySlot(QPainter &p)
{
    const QRectF button(1102, 515, 80, 44);
    const QRectF frame = button.adjusted(-14, -14, 14, 14);
    Kit::fillShape(p, Kit::roundedRect(frame.adjusted(-6, -6, 6, 6), 24), Kit::withAlpha(butter, 60));
    Kit::fillShape(p, Kit::roundedRect(frame, 18), aluminium1, QPen(butterDark, 4));
    Kit::drawCaption(p, QRectF(button.center().x() - 70, frame.bottom() + 12, 140, 44), QStringLiteral("进入"),
                     Kit::font(kaiFamily, 34, true), ink);

    // Chevrons lead from the controllers to the slot, brightening towards it.
    for (int i = 0; i < 3; ++i) {
        const qreal x = 958 + i * 38;
        QPainterPath chevron;
        chevron.moveTo(x, button.center().y() - 18);
        chevron.lineTo(x + 18, button.center().y());
        chevron.lineTo(x, button.center().y() + 18);
        Kit::fillShape(p, Kit::strokeShape(chevron, 9), Kit::withAlpha(butterDark, 110 + 60 * i));
    }
}

// The colours the controller tiles take, so the user knows them before entering.
void drawStateLegend(QPainter &p, const QPointF &topLeft)
{
    struct Entry
    {
        QString caption;
        QColor colour;
    };
    const Entry entries[] = {{QStringLiteral("正常"), QColor(7, 119, 7)},
                             {QStringLiteral("请求中"), QColor(235, 197, 84)},
                             {QStringLiteral("警报"), QColor(218, 7, 7)},
                             {QStringLiteral("断线"), QColor(228, 134, 7)}};
    for (int i = 0; i < 4; ++i) {
        const QPointF at = topLeft + QPointF((i % 2) * 140, (i / 2) * 44);
        Kit::fillShape(p, Kit::circle(at + QPointF(10, 0), 9), entries[i].colour, QPen(Kit::withAlpha(ink, 90), 1.5));
        Kit::drawCaption(p, QRectF(at.x() + 28, at.y() - 20, 110, 40), entries[i].caption, Kit::font(kaiFamily, 26),
                         aluminium5, Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void drawMasterControlCard(QPainter &p)
{
    const QRectF card(600, 290, 720, 500);
    const QPainterPath shape = Kit::roundedRect(card, 48);
    Kit::dropShadow(p, shape, 22, QPointF(0, 14), QColor(0, 0, 0, 130));
    Kit::fillShape(p, shape, Kit::verticalGradient(card, white, aluminium1), QPen(Kit::withAlpha(white, 200), 3));

    Kit::drawCaption(p, QRectF(card.left(), 318, card.width(), 96), QStringLiteral("设备总控"),
                     Kit::font(kaiFamily, 76, true), ink);
    Kit::drawCaption(p, QRectF(card.left(), 414, card.width(), 44), QStringLiteral("查看各房间控制器的状态"),
                     Kit::font(kaiFamily, 30), aluminium5);
    p.save();
    p.setPen(QPen(aluminium3, 2));
    p.drawLine(QPointF(660, 474), QPointF(1260, 474));
    p.restore();

    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column)
            drawInBox(p, QRectF(668 + column * 118, 494 + row * 116, 112, 112), drawRoomController);
    }
    drawEntrySlot(p);
    drawStateLegend(p, QPointF(1004, 670));
    Kit::drawCaption(p, QRectF(card.left(), 736, card.width(), 40), QStringLiteral("四路总线 · 每路四台控制器"),
                     Kit::font(kaiFamily, 26), aluminium4);
}

} // namespace

void drawHomeBackground(QPainter &p, const QSizeF &size)
{
    p.drawImage(0, 0,
                softBackdrop(size.toSize(), QColor(46, 96, 160), QColor(16, 40, 80),
                             {{{0.5, 0.5}, 0.3, Kit::withAlpha(skyTop, 80)},
                              {{0.06, 0.04}, 0.18, Kit::withAlpha(skyLight, 60)},
                              {{0.96, 0.98}, 0.22, Kit::withAlpha(night, 140)}},
                             70));
    Kit::mapDesignBox(p, Kit::area(size), QSizeF(1920, 1080));

    Kit::drawRaisedCaption(p, QRectF(80, 50, 800, 90), QStringLiteral("主页"), Kit::font(kaiFamily, 64, true), white,
                           Qt::AlignLeft | Qt::AlignVCenter);
    Kit::drawCaption(p, QRectF(84, 140, 800, 44), QStringLiteral("请选择功能"), Kit::font(kaiFamily, 30), aluminium2,
                     Qt::AlignLeft | Qt::AlignVCenter);
    drawMasterControlCard(p);
    // Home's return button lies at (1770, 930, 146, 146).
    Kit::drawRaisedCaption(p, QRectF(1560, 975, 190, 56), QStringLiteral("返回"), Kit::font(kaiFamily, 38),
                           Kit::withAlpha(aluminium1, 230), Qt::AlignRight | Qt::AlignVCenter);
}

void drawRoomBackground(QPainter &p, const QSizeF &size)
{
    // Stretched to 1920x1080 and to 800x800: only soft patches, nothing with an edge or a text.
    // The top stays mid-blue, where dark captions (dashboard) and light ones (appliance screens)
    // must both read.
    QImage backdrop = softBackdrop(size.toSize(), QColor(86, 138, 202), QColor(38, 84, 146),
                                   {{{0.9, 0.06}, 0.42, Kit::withAlpha(skyTop, 90)},
                                    {{0.38, 0.58}, 0.26, Kit::withAlpha(white, 26)},
                                    {{0.06, 0.98}, 0.4, Kit::withAlpha(night, 70)},
                                    {{0.96, 0.86}, 0.22, Kit::withAlpha(skyLight, 50)}},
                                   int(size.width() / 14));
    p.drawImage(0, 0, backdrop);

    // A broad, gentle sheen across the lower half.
    QPainterPath sheen;
    const qreal w = size.width();
    const qreal h = size.height();
    sheen.moveTo(0, h * 0.64);
    sheen.cubicTo(w * 0.3, h * 0.54, w * 0.62, h * 0.76, w, h * 0.6);
    sheen.lineTo(w, h * 0.72);
    sheen.cubicTo(w * 0.62, h * 0.88, w * 0.3, h * 0.66, 0, h * 0.78);
    sheen.closeSubpath();
    Kit::dropShadow(p, sheen, w / 40, QPointF(0, 0), Kit::withAlpha(white, 30));
}
