// Artwork made off the layout's thread: "not yet", one arrival, then the
// finished picture; the latest request wins; headless waits for small ones.
#include "artwork/ArtworkWorker.h"
#include "support/Pixels.h"
#include "support/TimeFactor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Request = ArtworkWorker::Request;

Request bytesOf(QColor colour, QSize size, int bound = 0)
{
    return Request{Pixels::pngBytes(size, colour), QUrl(), bound};
}

} // namespace

class TestArtworkWorker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aPictureArrivesOnceThenIsKept()
    {
        ArtworkWorker worker;
        int arrivals = 0;
        worker.setArrivalHandler([&arrivals] { ++arrivals; });
        const Request red = bytesOf(Qt::red, QSize(64, 32), 16);
        QVERIFY(!worker.picture(red));
        QTRY_COMPARE(arrivals, 1);
        const std::optional<QImage> image = worker.picture(red);
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(16, 8));
        QVERIFY(Pixels::near(image->pixel(8, 4), Qt::red));
        QCOMPARE(arrivals, 1);

        // Another bound is another picture; the first stays kept.
        QVERIFY(!worker.picture({red.bytes, QUrl(), 0}));
        QTRY_COMPARE(arrivals, 2);
        QCOMPARE(worker.picture({red.bytes, QUrl(), 0})->size(), QSize(64, 32));
        QCOMPARE(worker.picture(red)->size(), QSize(16, 8));
    }

    void onlyTheLatestRequestIsAnnounced()
    {
        ArtworkWorker worker;
        int arrivals = 0;
        worker.setArrivalHandler([&arrivals] { ++arrivals; });
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
        for (const QColor &colour : colours)
            QVERIFY(!worker.picture(bytesOf(colour, QSize(300, 300), 20)));
        QTRY_VERIFY(!worker.isBusy());
        worker.collect();
        QCOMPARE(arrivals, 1);
        const std::optional<QImage> blue = worker.picture(bytesOf(Qt::blue, QSize(300, 300), 20));
        QVERIFY(blue && Pixels::near(blue->pixel(10, 10), Qt::blue));
    }

    void failuresAreFinishedToo_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("file");
        QTest::newRow("undecodable bytes") << QByteArray("GIF89 and then nothing") << QString();
        QTest::newRow("a missing file") << QByteArray() << QStringLiteral("missing.png");
        QTest::newRow("a file that is no picture") << QByteArray() << QStringLiteral("text.png");
    }
    void failuresAreFinishedToo()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, file);
        QTemporaryDir dir;
        QFile text(dir.filePath(QStringLiteral("text.png")));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
        text.close();
        ArtworkWorker worker;
        int arrivals = 0;
        worker.setArrivalHandler([&arrivals] { ++arrivals; });
        const Request request{bytes, file.isEmpty() ? QUrl() : QUrl::fromLocalFile(dir.filePath(file)), 0};
        QVERIFY(!worker.picture(request));
        QTRY_COMPARE(arrivals, 1);
        const std::optional<QImage> image = worker.picture(request);
        QVERIFY(image && image->isNull());
    }

    void aFileAddressIsReadOnTheWorker()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cover.png"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Pixels::pngBytes(QSize(40, 40), Qt::green)) > 0);
        file.close();
        ArtworkWorker worker;
        worker.waitForSmallPictures(100 * 100);
        const std::optional<QImage> image = worker.picture({QByteArray(), QUrl::fromLocalFile(path), 10});
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(10, 10));
    }

    // Waits are for what decodes in a few milliseconds; nothing else waits.
    // (The large picture takes a tenth of a second and more to decode; the
    // answer comes once its header is read.)
    void waitsOnlyForSmallPictures_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("answered");
        QTest::newRow("at the limit") << QSize(64, 64) << qint64(64 * 64) << true;
        QTest::newRow("larger") << QSize(4096, 4096) << qint64(64 * 64) << false;
        QTest::newRow("never waiting") << QSize(64, 64) << qint64(0) << false;
    }
    void waitsOnlyForSmallPictures()
    {
        QFETCH(QSize, size);
        QFETCH(qint64, limit);
        QFETCH(bool, answered);
        ArtworkWorker worker;
        int arrivals = 0;
        worker.setArrivalHandler([&arrivals] { ++arrivals; });
        worker.waitForSmallPictures(limit);
        const Request request{Pixels::largeGreyPng(size), QUrl(), 0};
        QCOMPARE(worker.picture(request).has_value(), answered);
        QTRY_VERIFY(!worker.isBusy());
        worker.collect();
        QCOMPARE(arrivals, answered ? 0 : 1); // a picture answered is owed to nobody
        QCOMPARE(worker.picture(request)->size(), size);
    }

    // A live display's wait is short: a download that never answers is
    // "not yet" when the time is up, and the picture is still owed.
    void aWaitEndsInTime()
    {
        QTcpServer silent; // listens, never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        ArtworkWorker worker;
        worker.waitForSmallPictures(qint64(1) << 40, 50);
        const QUrl address(QStringLiteral("http://127.0.0.1:%1/cover.png").arg(silent.serverPort()));
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!worker.picture({QByteArray(), address, 0}));
        QVERIFY2(waited.elapsed() >= 49 && waited.elapsed() < TimeFactor::ms(1000),
                 qPrintable(QString::number(waited.elapsed())));
        QVERIFY(worker.isBusy());
    }
};

QTEST_GUILESS_MAIN(TestArtworkWorker)
#include "tst_artworkworker.moc"
