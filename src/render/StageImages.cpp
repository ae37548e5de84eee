#include "render/StageImages.h"

#include "text/AttributedTextLayout.h"
#include "platform/Log.h"
#include "render/YUpCanvas.h"

#include <QBuffer>
#include <QImageWriter>
#include <cmath>

namespace {

int pixels(double points)
{
    if (!std::isfinite(points) || points < 1.0)
        return 1;
    return int(std::min<double>(std::ceil(points), StageImages::kMaxSidePixels));
}

QImage clearImage(const QSizeF &size)
{
    QImage image(pixels(size.width()), pixels(size.height()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

bool StageImages::sizeIsBiggerThanZero(const QSizeF &size)
{
    constexpr double epsilon = 1.1920928955078125e-7;
    return size.width() > epsilon && size.height() > epsilon;
}

QImage StageImages::sizedArtwork(const QImage &artwork, double S)
{
    if (artwork.isNull() || !(S > 0))
        return QImage();
    const int side = pixels(S);
    return artwork.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage StageImages::reflection(const QImage &sizedArtwork, const QImage &mask, double S)
{
    const QSizeF size(S, 1.3 * S);
    QImage image = clearImage(size);
    if (sizedArtwork.isNull() || !(S > 0))
        return image;
    YUpCanvas canvas(image, size);
    canvas.concat(QTransform(1, 0, 0, -1, 0, 1.3 * S));
    canvas.fill(Qt::transparent);
    canvas.drawImage(QRectF(0, 0.3 * S, S, S), sizedArtwork, 0.6, QPainter::CompositionMode_Source);
    canvas.setTransform(QTransform());
    canvas.drawImage(QRectF(QPointF(0, 0), size), mask);
    return image;
}

QImage StageImages::label(const AttributedString &text, const QSizeF &size, bool leftAligned, float fontSize,
                          const Thumb &thumb)
{
    QImage image = clearImage(size);
    if (!sizeIsBiggerThanZero(size))
        return image;
    YUpCanvas canvas(image, size);
    if (!text.isEmpty())
        canvas.drawText(text, QRectF(QPointF(0, 0), size), YUpCanvas::TextFit::Fitted);
    if (!thumb.image.isNull()) {
        const double h = text.isEmpty() ? 0.0 : AttributedTextLayout(text).heightForWidth(size.width());
        const double tw = thumb.sizePoints.width();
        const double th = thumb.sizePoints.height();
        const double x = leftAligned ? 0.0 : size.width() - tw;
        // Placed by the shared size, drawn at its own: the narrower up thumb
        // is not stretched to the width of the neither picture.
        const QSizeF drawn = thumb.drawnPoints.isEmpty() ? thumb.sizePoints : thumb.drawnPoints;
        canvas.drawImage(QRectF(QPointF(x, (size.height() - h) - fontSize - th), drawn), thumb.image);
    }
    return image;
}

QByteArray StageImages::tiffData(const QImage &image)
{
    if (image.isNull())
        return {};
    QByteArray data;
    // Uncompressed: about the pixels and a header. Reserved at once, so the
    // encoder does not grow (and copy) the buffer a scanline at a time.
    data.reserve(qsizetype(std::min<qint64>(image.sizeInBytes() + 64 * 1024, kMaxCoverNotificationBytes + 64 * 1024)));
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(image)) {
        qCWarning(lcRender, "the cover could not be encoded as TIFF: %s", qPrintable(writer.errorString()));
        return {};
    }
    return data;
}
