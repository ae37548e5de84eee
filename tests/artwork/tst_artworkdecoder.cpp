// Decoding untrusted artwork bytes: the bound a layout asks for, the caps on
// what is kept, and pictures whose header declares more than is allowed.
#include "support/Pixels.h"
#include "artwork/ArtworkDecoder.h"
#include "artwork/ImageBytes.h"

#include <QBuffer>
#include <QtEndian>
#include <QtTest>

namespace {


QByteArray chunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray out(4, '\0');
    qToBigEndian(quint32(data.size()), out.data());
    QByteArray crc(4, '\0');
    qToBigEndian(Pixels::crc32(type + data), crc.data());
    return out + type + data + crc;
}

// A valid one-bit grey PNG of any size, all white: a few kilobytes even for
// tens of millions of pixels.
QByteArray monoPng(quint32 width, quint32 height)
{
    QByteArray header(13, '\0');
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = 1; // bit depth
    header[9] = 0; // grey
    const qsizetype rowBytes = 1 + (qsizetype(width) + 7) / 8;
    QByteArray row(rowBytes, char(0xff));
    row[0] = 0; // no filter
    QByteArray raw;
    raw.reserve(rowBytes * height);
    for (quint32 y = 0; y < height; ++y)
        raw += row;
    const QByteArray zlib = qCompress(raw, 9).mid(4); // without Qt's length prefix
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zlib)
        + chunk("IEND", {});
}

QByteArray png(const QSize &size, QColor colour = Qt::red)
{
    return Pixels::pngBytes(size, colour);
}

} // namespace

class TestArtworkDecoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A layout's bound, and the decoder's own cap (0: the default) above it.
    void boundsTheDecodedSize_data()
    {
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<int>("bound");
        QTest::addColumn<int>("cap");
        QTest::addColumn<QSize>("decoded");
        QTest::newRow("natural size when unbounded") << QSize(300, 200) << 0 << 0 << QSize(300, 200);
        QTest::newRow("square down to the bound") << QSize(400, 400) << 100 << 0 << QSize(100, 100);
        QTest::newRow("wide keeps its shape") << QSize(400, 200) << 100 << 0 << QSize(100, 50);
        QTest::newRow("tall keeps its shape") << QSize(100, 400) << 50 << 0 << QSize(12, 50);
        QTest::newRow("small is never enlarged") << QSize(40, 30) << 100 << 0 << QSize(40, 30);
        QTest::newRow("a sliver keeps a pixel") << QSize(1000, 1) << 100 << 0 << QSize(100, 1);
        QTest::newRow("capped when unbounded") << QSize(256, 128) << 0 << 64 << QSize(64, 32);
        QTest::newRow("capped below the bound") << QSize(256, 128) << 200 << 64 << QSize(64, 32);
    }
    void boundsTheDecodedSize()
    {
        QFETCH(QSize, natural);
        QFETCH(int, bound);
        QFETCH(int, cap);
        QFETCH(QSize, decoded);
        ArtworkDecoder::Limits limits;
        if (cap)
            limits.maxDecodedSide = cap;
        const QImage image = ArtworkDecoder(limits).decode(png(natural), bound);
        QCOMPARE(image.size(), decoded);
        QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::red));
    }

    void boundForALayoutSize_data()
    {
        QTest::addColumn<float>("size");
        QTest::addColumn<int>("bound");
        QTest::newRow("not laid out") << 0.f << 0;
        QTest::newRow("negative") << -5.f << 0;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0;
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 0;
        QTest::newRow("fraction rounds up") << 514.29f << 515;
        QTest::newRow("huge") << 1e30f << 4096;
    }
    void boundForALayoutSize()
    {
        QFETCH(float, size);
        QFETCH(int, bound);
        QCOMPARE(ArtworkDecoder().boundFor(size), bound);
    }

    void refusesADecompressionBomb()
    {
        // The same generator's small picture decodes, so the refusal below
        // is the declared size's, not a broken file's.
        const QImage small = ArtworkDecoder().decode(monoPng(300, 200));
        QCOMPARE(small.size(), QSize(300, 200));
        QCOMPARE(small.pixelColor(10, 10), QColor(Qt::white));

        const QByteArray bomb = monoPng(9000, 9000); // 81 million pixels
        QVERIFY2(bomb.size() < 200 * 1024, QByteArray::number(bomb.size()));
        QTest::ignoreMessage(QtWarningMsg, "artwork refused: it declares 9000 x 9000 pixels");
        QVERIFY(ArtworkDecoder().decode(bomb, 100).isNull());

        ArtworkDecoder::Limits limits;
        limits.maxSourceSide = 1000;
        QTest::ignoreMessage(QtWarningMsg, "artwork refused: it declares 1001 x 2 pixels");
        QVERIFY(ArtworkDecoder(limits).decode(monoPng(1001, 2)).isNull());
    }

    void refusesTooManyBytesAndUndecodableOnes()
    {
        ArtworkDecoder::Limits limits;
        limits.maxBytes = 100;
        const QByteArray bytes = png(QSize(300, 300));
        QVERIFY(bytes.size() > 100);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^artwork refused: \\d+ bytes is more than 100$"));
        QVERIFY(ArtworkDecoder(limits).decode(bytes).isNull());

        // Five bytes may be image data, but these decode to nothing.
        QVERIFY(!ImageBytes::holdsImageData("GIF8") && ImageBytes::holdsImageData("GIF89"));
        for (const QByteArray &broken : {QByteArray(), QByteArray("GIF89"), png(QSize(20, 20)).left(40)})
            QVERIFY(ArtworkDecoder().decode(broken).isNull());
    }
};

QTEST_GUILESS_MAIN(TestArtworkDecoder)
#include "tst_artworkdecoder.moc"
