#pragma once

#include "palette.h"

#include <QBrush>
#include <QFont>
#include <QGradient>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QRectF>

class QPainter;

// Small drawing helpers shared by all pictures.
namespace Kit {

QLinearGradient verticalGradient(const QRectF &rect, const QColor &top, const QColor &bottom);
QLinearGradient horizontalGradient(const QRectF &rect, const QColor &left, const QColor &right);
QRadialGradient radialGradient(const QPointF &centre, qreal radius, const QColor &inner, const QColor &outer);

QColor withAlpha(QColor colour, int alpha);

// The whole picture as a rectangle.
QRectF area(const QSizeF &size);

// Maps a design box of the given size into target, scaled uniformly and centred, so that a
// picture is drawn once in its own units and reused at several pixel sizes.
void mapDesignBox(QPainter &p, const QRectF &target, const QSizeF &design);

QPainterPath roundedRect(const QRectF &rect, qreal radius);
QPainterPath circle(const QPointF &centre, qreal radius);
// The outline of a centre line drawn with a round pen, as a fillable shape.
QPainterPath strokeShape(const QPainterPath &centreLine, qreal width, Qt::PenCapStyle cap = Qt::RoundCap);
// The polygon grown by radius on every side, with round corners.
QPainterPath softPolygon(const QPolygonF &polygon, qreal radius);

void fillShape(QPainter &p, const QPainterPath &shape, const QBrush &fill, const QPen &outline = Qt::NoPen);

// A blurred copy of shape under the current drawing; blur and offset are in design units.
void dropShadow(QPainter &p, const QPainterPath &shape, qreal blur, const QPointF &offset, const QColor &colour);
// A light glyph over a soft dark shadow: readable on the blue screens and the grey panels.
void drawGlyph(QPainter &p, const QPainterPath &glyph, const QBrush &fill, const QColor &shadow = Palette::glyphShadow);

// Separable box blur, three passes (close to a Gaussian with sigma = radius).
QImage blurred(const QImage &image, int radius);

QFont font(const QString &family, qreal pixelSize, bool bold = false);
void drawCaption(QPainter &p, const QRectF &box, const QString &text, const QFont &font, const QColor &colour,
                 Qt::Alignment alignment = Qt::AlignCenter);
// Caption over a soft shadow, for text on the gradients.
void drawRaisedCaption(QPainter &p, const QRectF &box, const QString &text, const QFont &font, const QColor &colour,
                       Qt::Alignment alignment = Qt::AlignCenter);

} // namespace Kit
