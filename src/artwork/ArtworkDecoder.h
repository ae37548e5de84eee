#pragma once

#include <QByteArray>
#include <QImage>
#include <atomic>

// Turns untrusted image bytes (player answers, downloads, the broadcaster's
// data) into an image, in any format Qt's image plugins read.
//
// The bytes are never trusted with memory: the header's size is checked
// before anything is decoded, so a small file that declares a huge picture
// (a decompression bomb) is refused, and the decoded image never exceeds
// maxDecodedSide on either side. A null image means the bytes were empty,
// undecodable or refused. Any thread; no shared state.
class ArtworkDecoder
{
public:
    struct Limits
    {
        qint64 maxBytes = 20 * 1024 * 1024;  // encoded size
        int maxSourceSide = 16384;           // as the header declares it
        qint64 maxSourcePixels = 40'000'000; // width × height, as declared
        int maxDecodedSide = 4096;           // what is kept in memory
    };

    ArtworkDecoder() = default;
    explicit ArtworkDecoder(Limits limits) : m_limits(limits) {}

    const Limits &limits() const { return m_limits; }

    // Decodes the bytes to fit within boundSide × boundSide pixels, keeping
    // the aspect ratio and never enlarging. boundSide 0 (or less) means the
    // natural size, still within maxDecodedSide. A cancel flag that is set
    // while it runs ends the decoding at its next read of the bytes, with
    // a null image.
    QImage decode(const QByteArray &bytes, int boundSide = 0,
                  const std::atomic<bool> *cancel = nullptr) const;

    // The size the header declares, read without decoding; invalid when
    // the bytes declare none (not a picture, or a format that cannot tell).
    static QSize declaredSize(const QByteArray &bytes);

    // The pixel bound for a layout's image size: 0 for a size that is not
    // positive and finite, otherwise the size rounded up, capped.
    int boundFor(float imageSize) const;

private:
    bool refusesDeclaredSize(const QSize &size) const;
    QSize targetSize(const QSize &natural, int boundSide) const;

    Limits m_limits;
};
