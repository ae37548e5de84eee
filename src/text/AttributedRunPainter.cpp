#include "text/AttributedRunPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRawFont>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A blurred shadow is drawn through an offscreen image; these keep that image
// and the blur's cost bounded whatever the radius or transform asks for.
constexpr double kMaxBlurPixels = 64.0;
constexpr int kMaxShadowSide = 8192;

double strokePenWidth(const AttributedStyle &style)
{
    return std::abs(style.strokeWidthOrZero()) / 100.0 * style.fontOrDefault().sizePoints();
}

QPainterPath outlineOf(const QGlyphRun &run)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const QRawFont font = run.rawFont();
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    const qsizetype n = std::min(glyphs.size(), positions.size());
    for (qsizetype i = 0; i < n; ++i)
        path.addPath(font.pathForGlyph(glyphs.at(i)).translated(positions.at(i)));
    return path;
}

QPainterPath strokeOf(const QPainterPath &outline, double penWidth)
{
    QPainterPathStroker stroker;
    stroker.setWidth(penWidth);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setCapStyle(Qt::RoundCap);
    return stroker.createStroke(outline);
}

// One pass of a running-sum box blur over the rows (or, transposed, the
// columns) of a premultiplied image; three passes approximate a Gaussian.
void boxBlurPass(QImage &image, int radius, bool vertical)
{
    const int width = image.width();
    const int height = image.height();
    const int lines = vertical ? width : height;
    const int span = vertical ? height : width;
    const int window = 2 * radius + 1;
    std::vector<QRgb> source(static_cast<size_t>(span));
    for (int line = 0; line < lines; ++line) {
        auto pixel = [&](int i) -> QRgb & {
            return vertical ? reinterpret_cast<QRgb *>(image.scanLine(i))[line]
                            : reinterpret_cast<QRgb *>(image.scanLine(line))[i];
        };
        for (int i = 0; i < span; ++i)
            source[size_t(i)] = pixel(i);
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= span)
                return;
            const QRgb c = source[size_t(i)];
            sum[0] += sign * qAlpha(c);
            sum[1] += sign * qRed(c);
            sum[2] += sign * qGreen(c);
            sum[3] += sign * qBlue(c);
        };
        for (int i = -radius; i <= radius; ++i)
            add(i, 1);
        for (int i = 0; i < span; ++i) {
            pixel(i) = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
            add(i - radius, -1);
            add(i + radius + 1, 1);
        }
    }
}

void gaussianBlur(QImage &image, double radiusPixels)
{
    // The platform's blur radius is about two standard deviations; three
    // boxes of width sqrt(4 sigma^2 + 1) have the same spread.
    const double sigma = radiusPixels / 2.0;
    const int boxRadius = std::max(1, int(std::lround((std::sqrt(4.0 * sigma * sigma + 1.0) - 1.0) / 2.0)));
    for (int pass = 0; pass < 3; ++pass) {
        boxBlurPass(image, boxRadius, false);
        boxBlurPass(image, boxRadius, true);
    }
}

} // namespace

QRectF AttributedRunPainter::inkBounds(const Piece &piece)
{
    if (piece.isAttachment())
        return piece.imageRect;
    QRectF bounds;
    for (const QGlyphRun &run : piece.glyphs)
        bounds |= outlineOf(run).boundingRect();
    const double grow = strokePenWidth(piece.style) / 2.0 + 1.0;
    return bounds.isNull() ? bounds : bounds.adjusted(-grow, -grow, grow, grow);
}

void AttributedRunPainter::paint(QPainter *painter, const Piece &piece)
{
    if (!painter)
        return;
    if (piece.isAttachment()) {
        if (piece.imageRect.isEmpty())
            return;
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(piece.imageRect, piece.image);
        painter->restore();
        return;
    }
    paintGlyphs(painter, piece);
}

void AttributedRunPainter::paintGlyphs(QPainter *painter, const Piece &piece)
{
    const QColor colour = piece.style.foregroundOrDefault();
    const double stroke = piece.style.strokeWidthOrZero();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    if (stroke == 0.0) {
        painter->setPen(colour);
        for (const QGlyphRun &run : piece.glyphs)
            painter->drawGlyphRun(QPointF(0, 0), run);
        painter->restore();
        return;
    }
    painter->setPen(Qt::NoPen);
    const double penWidth = strokePenWidth(piece.style);
    for (const QGlyphRun &run : piece.glyphs) {
        const QPainterPath outline = outlineOf(run);
        const QPainterPath ring = strokeOf(outline, penWidth);
        if (stroke > 0.0) {
            painter->fillPath(ring, colour);
        } else if (colour.alpha() == 255) {
            painter->fillPath(outline, colour);
            painter->fillPath(ring, colour);
        } else {
            // Filling twice would darken where the outline overlaps the
            // glyph; a translucent colour must cover each pixel once.
            painter->fillPath(outline.united(ring), colour);
        }
    }
    painter->restore();
}

void AttributedRunPainter::paintShadow(QPainter *painter, const Piece &piece)
{
    if (!painter || !piece.style.shadow)
        return;
    const AttributedStyle::Shadow shadow = *piece.style.shadow;
    const QPointF offset(std::isfinite(shadow.offsetPoints.x()) ? shadow.offsetPoints.x() : 0.0,
                         std::isfinite(shadow.offsetPoints.y()) ? shadow.offsetPoints.y() : 0.0);
    if (!shadow.colour.isValid() || shadow.colour.alpha() == 0)
        return;
    const QRectF bounds = inkBounds(piece);
    if (bounds.isEmpty())
        return;

    // Work in device pixels: the shadow is the piece's own coverage, moved,
    // tinted and blurred, so it follows any transform the painter has. The
    // combined transform includes the device's pixel ratio.
    QPaintDevice *device = painter->device();
    const double ratio = device ? device->devicePixelRatioF() : 1.0;
    const QTransform toDevice =
        QTransform::fromTranslate(offset.x(), offset.y()) * painter->combinedTransform();
    const double scale = std::sqrt(std::abs(toDevice.determinant()));
    if (!std::isfinite(scale) || scale <= 0.0)
        return;
    const double blurPoints = std::isfinite(shadow.blurRadiusPoints)
        ? std::max(shadow.blurRadiusPoints, 0.0) : 0.0;
    const double blurPixels = std::min(blurPoints * scale, kMaxBlurPixels);
    const int margin = int(std::ceil(blurPixels * 1.5)) + 2;
    QRect area = toDevice.mapRect(bounds).toAlignedRect().adjusted(-margin, -margin, margin, margin);
    if (device) {
        // Generous: some devices report their size in pixels, some in points.
        const QRect deviceRect(0, 0, int(std::ceil(device->width() * ratio)),
                               int(std::ceil(device->height() * ratio)));
        area = area.intersected(deviceRect.adjusted(-margin, -margin, margin, margin));
    }
    area = area.intersected(QRect(area.topLeft(), QSize(kMaxShadowSide, kMaxShadowSide)));
    if (area.isEmpty())
        return;

    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setTransform(toDevice * QTransform::fromTranslate(-area.x(), -area.y()));
        paint(&layerPainter, piece);
        layerPainter.resetTransform();
        layerPainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        layerPainter.fillRect(layer.rect(), shadow.colour);
    }
    if (blurPixels > 0.0)
        gaussianBlur(layer, blurPixels);
    layer.setDevicePixelRatio(ratio);
    painter->save();
    painter->resetTransform();
    painter->drawImage(QPointF(area.x() / ratio, area.y() / ratio), layer);
    painter->restore();
}
