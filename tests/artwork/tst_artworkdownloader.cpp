// Synchronous artwork downloads: what is fetched from a loopback stand-in,
// which addresses and redirects are refused, the size cap as bytes arrive,
// the deadline against a server that drips, and file addresses that are not
// regular files.
#include "artwork/ArtworkDownloader.h"
#include "support/NetworkStandIn.h"
#include "support/TestFiles.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

const QString kHost = QStringLiteral("127.0.0.61");
constexpr quint16 kPort = 45061;
const QString kBase = QStringLiteral("http://127.0.0.61:45061");

// Sends a header promising a long body, then one byte every 20 ms.
class DripServer : public QTcpServer
{
protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        auto *drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [socket] { socket->write("x"); });
        drip->start(20);
    }
};

NetworkStandIn::Answer redirectTo(const QByteArray &location)
{
    return {"HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"};
}

ArtworkDownloader withCap(qint64 maxBytes)
{
    ArtworkDownloader::Options options;
    options.maxBytes = maxBytes;
    options.deadline = 5s;
    return ArtworkDownloader(options);
}

} // namespace

class TestArtworkDownloader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(networkSafetyInstalled()); }

    void fetchesFromTheStandIn()
    {
        const QByteArray body(3000, 'a');
        NetworkStandIn server([&](const NetworkStandIn::Request &request) {
            if (request.target == "/cover.png")
                return NetworkStandIn::ok(body, "image/png");
            if (request.target == "/moved")
                return redirectTo(kBase.toUtf8() + "/cover.png");
            if (request.target == "/loop")
                return redirectTo(kBase.toUtf8() + "/loop");
            if (request.target == "/to-file")
                return redirectTo("file:///etc/hostname");
            return NetworkStandIn::status(404);
        });
        QVERIFY(server.listen(kHost, kPort));
        const ArtworkDownloader downloader = withCap(10000);
        QString error;

        QCOMPARE(downloader.download(QUrl(kBase + "/cover.png"), &error), body);
        QCOMPARE(downloader.download(QUrl(kBase + "/moved"), &error), body);

        // Missing, a redirect to a file, a redirect loop: nothing, and why.
        for (const char *refused : {"/missing", "/to-file", "/loop"}) {
            error.clear();
            QVERIFY(downloader.download(QUrl(kBase + QLatin1String(refused)), &error).isEmpty());
            QVERIFY2(!error.isEmpty(), refused);
        }
    }

    void refusesOtherAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("ftp") << "ftp://127.0.0.61:45061/cover.png";
        QTest::newRow("data") << "data:image/png;base64,iVBORw0KGgo=";
        QTest::newRow("relative") << "cover.png";
        QTest::newRow("empty") << "";
        QTest::newRow("file on another host") << "file://elsewhere/etc/hostname";
        QTest::newRow("http without a host") << "http:///cover.png";
    }
    void refusesOtherAddresses()
    {
        QFETCH(QString, address);
        QString error;
        QVERIFY(!ArtworkDownloader::isAcceptedAddress(QUrl(address)));
        QVERIFY(ArtworkDownloader().download(QUrl(address), &error).isEmpty());
        QVERIFY(!error.isEmpty());
    }

    // With its length announced or not; under the cap it comes through whole.
    void capsTheBodyAsItArrives()
    {
        const QByteArray body(50000, 'b');
        NetworkStandIn server([&](const NetworkStandIn::Request &request) {
            if (request.target == "/announced")
                return NetworkStandIn::ok(body);
            return NetworkStandIn::Answer{"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body};
        });
        QVERIFY(server.listen(kHost, kPort));
        for (const char *path : {"/announced", "/unannounced"}) {
            QString error;
            QVERIFY(withCap(1000).download(QUrl(kBase + path), &error).isEmpty());
            QVERIFY2(error.contains("larger than 1000"), qPrintable(error));
            QCOMPARE(withCap(body.size()).download(QUrl(kBase + path)), body);
        }
    }

    void aDrippingServerMeetsTheDeadline()
    {
        auto *thread = new QThread;
        auto *server = new DripServer;
        server->moveToThread(thread);
        thread->start();
        bool listening = false;
        QMetaObject::invokeMethod(server, [&] { listening = server->listen(QHostAddress(kHost), kPort); },
                                  Qt::BlockingQueuedConnection);
        QVERIFY(listening);

        // Without the deadline the download would last half an hour.
        ArtworkDownloader::Options options;
        options.deadline = 400ms;
        QString error;
        const QByteArray bytes = ArtworkDownloader(options).download(QUrl(kBase + "/drip"), &error);

        QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
        thread->quit();
        thread->wait();
        delete thread;

        QVERIFY(bytes.isEmpty());
        QVERIFY2(error.contains("in time"), qPrintable(error));
    }

    void readsOnlyRegularFiles()
    {
        QTemporaryDir dir;
        const QString regular = dir.filePath("cover.png");
        QVERIFY(TestFiles::writeBytes(regular, QByteArray(2000, 'c')));
        const QString fifo = dir.filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(QFile::link(fifo, dir.filePath("link-to-fifo")));

        const ArtworkDownloader downloader = withCap(5000);
        QCOMPARE(downloader.download(QUrl::fromLocalFile(regular)), QByteArray(2000, 'c'));
        QCOMPARE(downloader.download(QUrl(QStringLiteral("file://localhost") + regular)).size(), 2000);

        // Reading a fifo would block for ever.
        for (const QString &path : {fifo, dir.filePath("link-to-fifo"), dir.path(),
                                    QStringLiteral("/dev/zero"), dir.filePath("absent")}) {
            QString error;
            QVERIFY2(downloader.download(QUrl::fromLocalFile(path), &error).isEmpty(), qPrintable(path));
            QVERIFY2(!error.isEmpty(), qPrintable(path));
        }

        // A regular file over the cap.
        QVERIFY(withCap(1000).download(QUrl::fromLocalFile(regular)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestArtworkDownloader)
#include "tst_artworkdownloader.moc"
