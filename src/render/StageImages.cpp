#include "render/StageImages.h"

#include "text/AttributedTextLayout.h"
#include "platform/Log.h"
#include "render/YUpCanvas.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
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

StageImages::LabelPicture StageImages::label(const AttributedString &text, const QSizeF &size, bool leftAligned,
                                              float fontSize, const Thumb &thumb, LabelExtent extent)
{
    LabelPicture picture{clearImage(QSizeF(1, 1)), QRectF(0, 0, 1, 1)};
    if (!sizeIsBiggerThanZero(size))
        return picture;

    // What is drawn, in y-down points of the rectangle.
    QRectF drawn;
    double textHeight = 0.0;
    if (!text.isEmpty()) {
        const AttributedTextLayout layout(text);
        drawn = layout.fittedLineBounds(size);
        if (!thumb.image.isNull())
            textHeight = layout.heightForWidth(size.width());
    }
    QRectF thumbRect;
    if (!thumb.image.isNull()) {
        const double tw = thumb.sizePoints.width();
        const double th = thumb.sizePoints.height();
        // Placed by the shared size, drawn at its own: the narrower up thumb
        // is not stretched to the width of the neither picture.
        const QSizeF shown = thumb.drawnPoints.isEmpty() ? thumb.sizePoints : thumb.drawnPoints;
        const double x = leftAligned ? 0.0 : size.width() - tw;
        thumbRect = QRectF(QPointF(x, textHeight + fontSize + th - shown.height()), shown);
        drawn |= thumbRect;
    }

    const QRect whole(0, 0, pixels(size.width()), pixels(size.height()));
    QRect cut = whole;
    if (extent == LabelExtent::Drawn) {
        // Glyphs reach past their advance (italics, accents, swashes).
        const double room = std::ceil(0.25 * std::max<double>(fontSize, 0.0)) + 2.0;
        cut = drawn.isNull() ? QRect() : drawn.adjusted(-room, -room, room, room).toAlignedRect() & whole;
        if (cut.isEmpty())
            return picture;
    }
    picture.image = QImage(cut.size(), QImage::Format_ARGB32_Premultiplied);
    if (picture.image.isNull()) {
        qCWarning(lcRender, "the label: cannot make a %dx%d picture", cut.width(), cut.height());
        picture.image = clearImage(QSizeF(1, 1));
        return picture;
    }
    picture.image.fill(Qt::transparent);
    picture.rect = QRectF(cut);
    QPainter painter(&picture.image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    painter.translate(-cut.x(), -cut.y());
    if (!text.isEmpty())
        AttributedTextLayout(text).drawFitted(&painter, QRectF(QPointF(0, 0), size));
    if (!thumb.image.isNull())
        painter.drawImage(thumbRect, thumb.image);
    return picture;
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

QByteArray StageImages::cappedTiffData(const QImage &image, qsizetype maxBytes)
{
    QImage picture = image;
    for (int attempt = 0; attempt < 16 && !picture.isNull(); ++attempt) {
        // An uncompressed TIFF is its pixels and a small header: start from
        // a size whose pixels fit, then shrink while the encoding does not.
        const double over = double(picture.sizeInBytes() + 64 * 1024) / double(std::max<qsizetype>(maxBytes, 1));
        if (over > 1.0) {
            const double factor = 1.0 / std::sqrt(over);
            const QSize smaller(std::max(1, int(picture.width() * factor)), std::max(1, int(picture.height() * factor)));
            picture = image.scaled(smaller, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            continue;
        }
        QByteArray data = tiffData(picture);
        if (data.isEmpty() || data.size() <= maxBytes)
            return data;
        const QSize smaller(std::max(1, int(picture.width() * 0.9)), std::max(1, int(picture.height() * 0.9)));
        if (smaller == picture.size())
            break;
        picture = image.scaled(smaller, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    qCWarning(lcRender, "the cover could not be brought within %lld bytes", static_cast<long long>(maxBytes));
    return {};
}
