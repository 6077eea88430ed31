#include "paintkit.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <functional>
#include <cmath>
#include <vector>

namespace Kit {

QLinearGradient verticalGradient(const QRectF &rect, const QColor &top, const QColor &bottom)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

QLinearGradient horizontalGradient(const QRectF &rect, const QColor &left, const QColor &right)
{
    QLinearGradient gradient(rect.topLeft(), rect.topRight());
    gradient.setColorAt(0, left);
    gradient.setColorAt(1, right);
    return gradient;
}

QRadialGradient radialGradient(const QPointF &centre, qreal radius, const QColor &inner, const QColor &outer)
{
    QRadialGradient gradient(centre, radius);
    gradient.setColorAt(0, inner);
    gradient.setColorAt(1, outer);
    return gradient;
}

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

QRectF area(const QSizeF &size)
{
    return QRectF(QPointF(0, 0), size);
}

void mapDesignBox(QPainter &p, const QRectF &target, const QSizeF &design)
{
    const qreal scale = std::min(target.width() / design.width(), target.height() / design.height());
    p.translate(target.center());
    p.scale(scale, scale);
    p.translate(-design.width() / 2, -design.height() / 2);
}

QPainterPath roundedRect(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QPainterPath circle(const QPointF &centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath strokeShape(const QPainterPath &centreLine, qreal width, Qt::PenCapStyle cap)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(centreLine).simplified();
}

QPainterPath softPolygon(const QPolygonF &polygon, qreal radius)
{
    QPainterPath core;
    core.addPolygon(polygon);
    core.closeSubpath();
    return core.united(strokeShape(core, 2 * radius)).simplified();
}

void fillShape(QPainter &p, const QPainterPath &shape, const QBrush &fill, const QPen &outline)
{
    p.save();
    p.setPen(outline);
    p.setBrush(fill);
    p.drawPath(shape);
    p.restore();
}

static void blurLine(QRgb *data, int length, int stride, int radius, std::vector<QRgb> &line)
{
    for (int i = 0; i < length; ++i)
        line[i] = data[i * stride];
    const auto at = [&](int i) { return line[std::clamp(i, 0, length - 1)]; };
    const int window = 2 * radius + 1;
    int sum[4] = {0, 0, 0, 0};
    const auto add = [&](QRgb c, int sign) {
        sum[0] += sign * qAlpha(c);
        sum[1] += sign * qRed(c);
        sum[2] += sign * qGreen(c);
        sum[3] += sign * qBlue(c);
    };
    for (int i = -radius; i <= radius; ++i)
        add(at(i), 1);
    for (int i = 0; i < length; ++i) {
        data[i * stride] = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
        add(at(i - radius), -1);
        add(at(i + radius + 1), 1);
    }
}

QImage blurred(const QImage &image, int radius)
{
    // Premultiplied channels average correctly across transparent edges.
    QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (radius < 1)
        return result;
    const int width = result.width();
    const int height = result.height();
    const int rowStride = result.bytesPerLine() / int(sizeof(QRgb));
    auto *pixels = reinterpret_cast<QRgb *>(result.bits());
    std::vector<QRgb> line(std::max(width, height));
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y)
            blurLine(pixels + y * rowStride, width, 1, radius, line);
        for (int x = 0; x < width; ++x)
            blurLine(pixels + x, height, rowStride, radius, line);
    }
    return result;
}

// Blurs what drawOnLayer paints (in the painter's coordinates) inside deviceArea and draws the
// result under the current transform. The layer covers only the area, not the whole image.
static void drawBlurredLayer(QPainter &p, const QRectF &deviceArea, int blur,
                             const std::function<void(QPainter &)> &drawOnLayer)
{
    const QRect area = deviceArea.adjusted(-3 * blur, -3 * blur, 3 * blur, 3 * blur)
                           .toAlignedRect()
                           .intersected(QRect(0, 0, p.device()->width(), p.device()->height()));
    if (area.isEmpty())
        return;
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        layerPainter.setTransform(p.worldTransform() * QTransform::fromTranslate(-area.x(), -area.y()));
        drawOnLayer(layerPainter);
    }
    p.save();
    p.resetTransform();
    p.drawImage(area.topLeft(), blurred(layer, blur));
    p.restore();
}

void dropShadow(QPainter &p, const QPainterPath &shape, qreal blur, const QPointF &offset, const QColor &colour)
{
    const qreal scale = std::sqrt(std::abs(p.worldTransform().determinant()));
    const QPainterPath moved = shape.translated(offset);
    const QRectF deviceArea = p.worldTransform().mapRect(moved.boundingRect());
    drawBlurredLayer(p, deviceArea, std::max(1, int(std::lround(blur * scale))),
                     [&](QPainter &layer) { layer.fillPath(moved, colour); });
}

void drawGlyph(QPainter &p, const QPainterPath &glyph, const QBrush &fill, const QColor &shadow)
{
    dropShadow(p, glyph, 1.2, QPointF(0, 1.2), shadow);
    fillShape(p, glyph, fill);
}

QFont font(const QString &family, qreal pixelSize, bool bold)
{
    QFont result(family);
    result.setPixelSize(int(std::lround(pixelSize)));
    result.setBold(bold);
    result.setStyleStrategy(QFont::PreferAntialias);
    return result;
}

void drawCaption(QPainter &p, const QRectF &box, const QString &text, const QFont &font, const QColor &colour,
                 Qt::Alignment alignment)
{
    p.save();
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, int(alignment), text);
    p.restore();
}

void drawRaisedCaption(QPainter &p, const QRectF &box, const QString &text, const QFont &font, const QColor &colour,
                       Qt::Alignment alignment)
{
    // Shadow the glyphs themselves, not their box.
    const QRectF shadowBox = box.translated(0, font.pixelSize() / 16.0 + 1);
    drawBlurredLayer(p, p.worldTransform().mapRect(shadowBox), std::max(1, font.pixelSize() / 20),
                     [&](QPainter &layer) {
                         drawCaption(layer, shadowBox, text, font, QColor(0, 0, 0, 150), alignment);
                     });
    drawCaption(p, box, text, font, colour, alignment);
}

} // namespace Kit
