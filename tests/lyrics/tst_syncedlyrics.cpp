#include "lyrics/LrcText.h"
#include "lyrics/LyricsChain.h"
#include "lyrics/SyncedLyrics.h"
#include "platform/DefaultsStore.h"
#include "support/LogCapture.h"
#include "support/NetworkStandIn.h"
#include "support/TestFiles.h"

#include <QNetworkAccessManager>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString kHost = u"127.0.0.31"_s;
constexpr quint16 kPort = 45191;
const QString kBase = u"http://127.0.0.31:45191"_s;

// "time:text" a line, joined with "|"; "none" for no timed lines.
QString shown(const std::optional<SyncedLines> &lines)
{
    if (!lines)
        return u"none"_s;
    QStringList parts;
    for (qsizetype i = 0; i < lines->lines.size(); ++i)
        parts << QString::number(lines->timesMs.at(i)) + u':' + lines->lines.at(i);
    return parts.join(u'|');
}

QByteArray entry(const char *synced, const char *plain = "null", const char *instrumental = "false",
                 int duration = 200)
{
    return QByteArray("{\"syncedLyrics\":") + synced + ",\"plainLyrics\":" + plain
        + ",\"instrumental\":" + instrumental + ",\"duration\":" + QByteArray::number(duration) + "}";
}

// The service's stand-in: answers by path ("/api/get", "/api/search").
struct Service
{
    QHash<QByteArray, NetworkStandIn::Answer> answers;
    QSemaphore hang{0};
    bool hangs = false;
    NetworkStandIn server{[this](const NetworkStandIn::Request &request) {
        if (hangs)
            hang.tryAcquire(1, 5000); // the client gives up first
        const QByteArray path = request.target.left(request.target.indexOf('?'));
        return answers.value(path, NetworkStandIn::status(404));
    }};
    ~Service() { hang.release(); }
};

SyncedLyrics::Track track(const QString &album = u"Late Summer"_s, qint64 duration = 200)
{
    return {u"Wires"_s, u"Paper Moons"_s, album, duration, {}};
}

} // namespace

class SyncedLyricsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsLrc_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::addRow("fraction widths") << QByteArray("[00:01]a\n[00:01.5]b\n[00:01.25]c\n[00:01.125]d")
                                         << u"1000:a|1125:d|1250:c|1500:b"_s;
        QTest::addRow("colon form, wide minutes") << QByteArray("[01:02:50]a\n[120:00.00]b")
                                                  << u"62500:a|7200000:b"_s;
        QTest::addRow("several tags, equal times in file order")
            << QByteArray("[00:05.00][00:01.00]chorus\n[00:01.00]second") << u"1000:chorus|1000:second|5000:chorus"_s;
        QTest::addRow("positive offset earlier, clamped at 0")
            << QByteArray("[offset:+1500]\n[00:01.00]a\n[00:03.00]b") << u"0:a|1500:b"_s;
        QTest::addRow("negative offset later") << QByteArray("[offset:-250]\n[00:01.00]a") << u"1250:a"_s;
        QTest::addRow("ID and word tags, pause kept")
            << QByteArray("[ar:Paper Moons]\n[ti:Wires]\n[length:03:20]\n[00:01.00]<00:01.00>one <00:01.50>two\n[00:02.00]")
            << u"1000:one two|2000:"_s;
        QTest::addRow("BOM and CRLF") << QByteArray("\xEF\xBB\xBF[00:01.00]a\r\n[00:02.00]b\r\n") << u"1000:a|2000:b"_s;
        QTest::addRow("junk skipped") << QByteArray("hello\n[xx:01]a\n[00:99.00]b\n[00:01.00 c\n[00:02.00]ok")
                                      << u"2000:ok"_s;
        QTest::addRow("no timed line") << QByteArray("[ar:x]\nplain words") << u"none"_s;
        QTest::addRow("invalid UTF-8") << QByteArray("[00:01.00]caf\xE9") << u"none"_s;
        QTest::addRow("file over 1 MiB") << QByteArray("[00:01.00]a\n" + QByteArray(1024 * 1024, 'x')) << u"none"_s;
    }
    void readsLrc()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(shown(LrcText::readBytes(bytes)), expected);
    }

    void capsLinesAndLength()
    {
        QByteArray text;
        for (int i = 0; i < LrcText::kMaxLines + 10; ++i)
            text += "[00:01.00]" + QByteArray(i == 0 ? 5000 : 1, 'w') + '\n';
        const std::optional<SyncedLines> lines = LrcText::readBytes(text);
        QVERIFY(lines);
        QCOMPARE(lines->lines.size(), LrcText::kMaxLines);
        QCOMPARE(lines->lines.first().size(), LrcText::kMaxLineCharacters);
    }

    void buildsAddresses_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("album");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<QString>("get");
        QTest::addColumn<QString>("search");
        QTest::addRow("all known") << u"Wires"_s << u"Late Summer"_s << qint64(200)
                                   << u"/api/get?track_name=Wires&artist_name=Paper%20Moons&album_name=Late%20Summer&duration=200"_s
                                   << u"/api/search?track_name=Wires&artist_name=Paper%20Moons"_s;
        QTest::addRow("no album, no duration") << u"Wires"_s << QString() << qint64(0)
                                               << u"/api/get?track_name=Wires&artist_name=Paper%20Moons"_s
                                               << u"/api/search?track_name=Wires&artist_name=Paper%20Moons"_s;
        QTest::addRow("reserved and non-ASCII")
            << u"A&B #1 + Café=?"_s << QString() << qint64(0)
            << u"/api/get?track_name=A%26B%20%231%20%2B%20Caf%C3%A9%3D%3F&artist_name=Paper%20Moons"_s
            << u"/api/search?track_name=A%26B%20%231%20%2B%20Caf%C3%A9%3D%3F&artist_name=Paper%20Moons"_s;
    }
    void buildsAddresses()
    {
        QFETCH(QString, title);
        QFETCH(QString, album);
        QFETCH(qint64, duration);
        QFETCH(QString, get);
        QFETCH(QString, search);
        const SyncedLyrics::Track t{title, u"Paper Moons"_s, album, duration, {}};
        QCOMPARE(SyncedLyrics::getAddress(kBase, t).toString(QUrl::FullyEncoded), kBase + get);
        QCOMPARE(SyncedLyrics::searchAddress(kBase, t).toString(QUrl::FullyEncoded), kBase + search);
    }

    // Each row: the stand-in's answers, then what the lookup finds and how
    // many requests it made; asked twice, the second costs nothing.
    void answers_data()
    {
        QTest::addColumn<QByteArray>("getAnswer");   // empty: 404
        QTest::addColumn<QByteArray>("searchAnswer"); // empty: 404
        QTest::addColumn<bool>("withExtras");
        QTest::addColumn<QString>("synced");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("logged");
        const QByteArray synced = entry("\"[00:01.00]one\\n[00:02.00]two\"", "\"one\\ntwo\"");
        QTest::addRow("synced") << synced << QByteArray() << true << u"1000:one|2000:two"_s << u"one\ntwo"_s << 1 << false;
        QTest::addRow("plain only") << entry("null", "\"just words\"") << QByteArray() << true << u"none"_s
                                    << u"just words"_s << 1 << false;
        QTest::addRow("instrumental") << entry("\"[00:01.00]la\"", "null", "true") << QByteArray() << true
                                      << u"none"_s << QString() << 1 << false;
        QTest::addRow("404 then search, duration within 2 s")
            << QByteArray() << "[" + entry("null", "\"x\"", "false", 200) + "," + entry("\"[00:01.00]far\"", "null", "false", 190)
                   + "," + entry("\"[00:03.00]near\"", "null", "false", 202) + "]"
            << true << u"3000:near"_s << QString() << 2 << false;
        QTest::addRow("404 without extras: no search") << QByteArray() << QByteArray("[]") << false << u"none"_s
                                                       << QString() << 1 << false;
        QTest::addRow("not JSON") << QByteArray("<html>") << QByteArray() << true << u"none"_s << QString() << 1 << true;
        QTest::addRow("array for get") << QByteArray("[]") << QByteArray() << true << u"none"_s << QString() << 1 << true;
        QTest::addRow("field of another type") << QByteArray("{\"syncedLyrics\":5}") << QByteArray() << true
                                               << u"none"_s << QString() << 1 << true;
        QTest::addRow("600 KiB body") << "{\"plainLyrics\":\"" + QByteArray(600 * 1024, 'a') + "\"}" << QByteArray()
                                      << true << u"none"_s << QString() << 1 << true;
    }
    void answers()
    {
        QFETCH(QByteArray, getAnswer);
        QFETCH(QByteArray, searchAnswer);
        QFETCH(bool, withExtras);
        QFETCH(QString, synced);
        QFETCH(QString, plain);
        QFETCH(int, requests);
        QFETCH(bool, logged);
        Service service;
        if (!getAnswer.isEmpty())
            service.answers.insert("/api/get", NetworkStandIn::ok(getAnswer, "application/json"));
        if (!searchAnswer.isEmpty())
            service.answers.insert("/api/search", NetworkStandIn::ok(searchAnswer, "application/json"));
        QVERIFY(service.server.listen(kHost, kPort));
        QNetworkAccessManager manager;
        QStringList log;
        SyncedLyrics::Service lookup(SyncedLyrics::webGet(&manager, nullptr),
                                     [&log](const QString &line) { log << line; });
        const SyncedLyrics::Track t = withExtras ? track() : track(QString(), 0);
        for (int ask = 0; ask < 2; ++ask) {
            const SyncedLyrics::Answer answer = lookup.lookup(kBase, t);
            QCOMPARE(shown(answer.synced.isEmpty() ? std::nullopt : std::optional(answer.synced)), synced);
            QCOMPARE(answer.plain, plain);
        }
        QCOMPARE(service.server.requestCount(), requests);
        QCOMPARE(log.size(), logged ? 1 : 0);
        const NetworkStandIn::Request first = service.server.requests().value(0);
        QCOMPARE(first.headers.value("user-agent"), QByteArray("Coverlume/" COVERLUME_VERSION));
    }

    // A failing or silent service costs one request per track, however
    // often the track is asked about.
    void failuresAreAskedOnce_data()
    {
        QTest::addColumn<bool>("hangs");
        QTest::addRow("server error") << false;
        QTest::addRow("hung") << true;
    }
    void failuresAreAskedOnce()
    {
        QFETCH(bool, hangs);
        Service service;
        service.hangs = hangs;
        service.answers.insert("/api/get", NetworkStandIn::status(500));
        QVERIFY(service.server.listen(kHost, kPort));
        QNetworkAccessManager manager;
        QStringList log;
        SyncedLyrics::Service lookup(SyncedLyrics::webGet(&manager, nullptr, 300),
                                     [&log](const QString &line) { log << line; });
        for (int ask = 0; ask < 3; ++ask)
            QVERIFY(lookup.lookup(kBase, track()).synced.isEmpty());
        QCOMPARE(lookup.requestsMade(), 1);
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().contains(u"timed out"_s), hangs);
    }

    void findsLocalFiles_data()
    {
        QTest::addColumn<QString>("made"); // what lies beside "song.mp3"
        QTest::addColumn<QString>("expected");
        QTest::addRow("lower case") << u"song.lrc"_s << u"1000:a"_s;
        QTest::addRow("upper case") << u"song.LRC"_s << u"1000:a"_s;
        QTest::addRow("other name") << u"other.lrc"_s << u"none"_s;
        QTest::addRow("FIFO") << u"fifo"_s << u"none"_s;
        QTest::addRow("over 1 MiB") << u"big"_s << u"none"_s;
    }
    void findsLocalFiles()
    {
        QFETCH(QString, made);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString song = TestFiles::written(dir.filePath(u"song.mp3"_s), "ID3");
        if (made == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(u"song.lrc"_s)).constData(), 0600), 0);
        else if (made == u"big")
            TestFiles::written(dir.filePath(u"song.lrc"_s), "[00:01.00]a\n" + QByteArray(1024 * 1024, ' '));
        else
            TestFiles::written(dir.filePath(made), "[00:01.00]a\n");
        const QString location = QUrl::fromLocalFile(song).toString();
        QCOMPARE(shown(SyncedLyrics::localFile(location)), expected);
        // Only files: an address elsewhere never reads the disk.
        QCOMPARE(shown(SyncedLyrics::localFile(u"http://127.0.0.1/song.mp3"_s)), u"none"_s);
    }

    // The chain: off and local-only send nothing; with the service on, a
    // track without a file gets its timed lines, and the service's plain
    // words stand in when the sites found nothing.
    void chainFollowsTheSetting_data()
    {
        QTest::addColumn<QVariant>("mode");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("syncedLines");
        QTest::addColumn<int>("plainLines");
        QTest::addRow("off") << QVariant(0) << 0 << 0 << 0;
        QTest::addRow("local files (default)") << QVariant() << 0 << 0 << 0;
        QTest::addRow("local, as a boolean") << QVariant(true) << 0 << 0 << 0;
        QTest::addRow("service") << QVariant(2) << 1 << 2 << 3;
    }
    void chainFollowsTheSetting()
    {
        QFETCH(QVariant, mode);
        QFETCH(int, requests);
        QFETCH(int, syncedLines);
        QFETCH(int, plainLines);
        QTemporaryDir config;
        DefaultsStore defaults(config.path());
        if (mode.isValid())
            defaults.set(u"syncedLyrics"_s, mode);
        defaults.set(u"syncedLyricsBase"_s, kBase + u"/"_s);
        Service service;
        service.answers.insert("/api/get", NetworkStandIn::ok(entry("\"[00:01.00]one\\n[00:02.00]two\"",
                                                                    "\"one\\n\\ntwo\""),
                                                              "application/json"));
        QVERIFY(service.server.listen(kHost, kPort));
        LyricsChain chain(defaults, nullptr, [](const std::atomic<bool> *) {
            return [](const QUrl &) { return std::optional<QByteArray>(); };
        });
        chain.setWaitForAnswers(true);
        const LyricsTrack asked{u"Wires"_s, u"Paper Moons"_s, u"Late Summer"_s, 200, {}};
        const LyricsAnswer answer = chain.lyricsForTrack(asked, PlayerId::Spotify);
        QCOMPARE(answer.syncedLines.size(), syncedLines);
        QCOMPARE(answer.lines.size(), plainLines);
        QCOMPARE(service.server.requestCount(), requests);
    }
};

QTEST_MAIN(SyncedLyricsTest)
#include "tst_syncedlyrics.moc"
