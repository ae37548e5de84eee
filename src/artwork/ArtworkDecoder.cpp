#include "artwork/ArtworkDecoder.h"

#include "platform/Log.h"

#include <QBuffer>
#include <QImageReader>
#include <cmath>

namespace {

// The bytes as a device whose reads fail once the cancel flag is set: the
// image plugins read a little at a time, so a long decoding stops soon.
class CancellableBuffer final : public QBuffer
{
public:
    explicit CancellableBuffer(const std::atomic<bool> *cancel) : m_cancel(cancel) {}

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_cancel && m_cancel->load(std::memory_order_relaxed))
            return -1;
        return QBuffer::readData(data, maxSize);
    }

private:
    const std::atomic<bool> *m_cancel;
};

} // namespace

QSize ArtworkDecoder::declaredSize(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return reader.size();
}

QImage ArtworkDecoder::decode(const QByteArray &bytes, int boundSide, const std::atomic<bool> *cancel) const
{
    if (bytes.isEmpty())
        return {};
    if (bytes.size() > m_limits.maxBytes) {
        qCWarning(lcArtwork, "artwork refused: %lld bytes is more than %lld",
                  static_cast<long long>(bytes.size()), static_cast<long long>(m_limits.maxBytes));
        return {};
    }

    CancellableBuffer buffer(cancel);
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);

    const QSize natural = reader.size();
    if (natural.isValid()) {
        if (refusesDeclaredSize(natural)) {
            qCWarning(lcArtwork, "artwork refused: it declares %d x %d pixels", natural.width(),
                      natural.height());
            return {};
        }
        const QSize target = targetSize(natural, boundSide);
        if (target != natural)
            reader.setScaledSize(target);
    }
    // A format that cannot tell its size up front still decodes under Qt's
    // own allocation limit; the result is capped below.
    QImage image = reader.read();
    if (image.isNull() || (cancel && cancel->load(std::memory_order_relaxed)))
        return {};
    const QSize wanted = targetSize(image.size(), boundSide);
    if (wanted != image.size())
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

int ArtworkDecoder::boundFor(float imageSize) const
{
    if (!std::isfinite(imageSize) || imageSize <= 0.f)
        return 0;
    if (imageSize >= float(m_limits.maxDecodedSide))
        return m_limits.maxDecodedSide;
    return int(std::ceil(imageSize));
}

bool ArtworkDecoder::refusesDeclaredSize(const QSize &size) const
{
    return size.width() > m_limits.maxSourceSide || size.height() > m_limits.maxSourceSide
        || qint64(size.width()) * qint64(size.height()) > m_limits.maxSourcePixels;
}

QSize ArtworkDecoder::targetSize(const QSize &natural, int boundSide) const
{
    int bound = m_limits.maxDecodedSide;
    if (boundSide > 0)
        bound = std::min(bound, boundSide);
    if (natural.width() <= bound && natural.height() <= bound)
        return natural;
    return natural.scaled(bound, bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}
