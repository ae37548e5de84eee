// The bridge's parts that need no bus: reading metadata of any shape,
// matching players to names, the position between readings, artwork
// addresses and the volume tools (their rule is tested with the stand-in's).
#include "support/Pixels.h"
#include "support/TestFiles.h"
#include "players/mpris/ArtFetcher.h"
#include "players/mpris/MprisTrack.h"
#include "players/mpris/PlayerMapping.h"
#include "players/mpris/PositionClock.h"
#include "players/mpris/SystemVolume.h"
#include "players/mpris/MprisBridge.h"
#include "platform/DefaultsStore.h"
#include "support/ScriptTexts.h"

#include <QDBusObjectPath>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>
#include <sys/stat.h>

class TestMprisParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lengthIsReadFromAnyNumberType_data()
    {
        QTest::addColumn<QVariant>("length");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("int64") << QVariant::fromValue<qlonglong>(215'000'000) << qint64(215'000'000);
        QTest::newRow("uint64") << QVariant::fromValue<qulonglong>(215'000'000) << qint64(215'000'000);
        QTest::newRow("int32") << QVariant::fromValue<int>(215'000'000) << qint64(215'000'000);
        QTest::newRow("uint32") << QVariant::fromValue<uint>(3'000'000'000u) << qint64(3'000'000'000);
        QTest::newRow("double") << QVariant(215'000'000.0) << qint64(215'000'000);
        QTest::newRow("negative") << QVariant::fromValue<qlonglong>(-5) << qint64(0);
        QTest::newRow("text") << QVariant(QStringLiteral("215000000")) << qint64(0);
        QTest::newRow("nan") << QVariant(std::nan("")) << qint64(0);
    }

    void lengthIsReadFromAnyNumberType()
    {
        QFETCH(QVariant, length);
        QFETCH(qint64, expected);
        const MprisTrack track = MprisTrack::fromMetadata({{QStringLiteral("mpris:length"), length}});
        QCOMPARE(track.lengthUs, expected);
    }

    void wrongTypesAreReadAsMeant()
    {
        const MprisTrack spotify = MprisTrack::fromMetadata({
            {QStringLiteral("mpris:trackid"), QStringLiteral("spotify:ad:123")},
            {QStringLiteral("xesam:artist"), QStringLiteral("Solo Artist")},
            {QStringLiteral("xesam:title"), 42}, // not text: no title
            {QStringLiteral("xesam:userRating"), QStringLiteral("high")},
        });
        QCOMPARE(spotify.trackId, QStringLiteral("spotify:ad:123"));
        QVERIFY(spotify.isAdvert());
        QCOMPARE(spotify.artists, QStringList{QStringLiteral("Solo Artist")});
        QVERIFY(spotify.title.isNull());
        QVERIFY(!spotify.userRating);

        const MprisTrack listed = MprisTrack::fromMetadata({
            {QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpd/Track/7")))},
            {QStringLiteral("xesam:artist"), QStringList{QStringLiteral("A"), QString(), QStringLiteral("B")}},
            {QStringLiteral("xesam:contentCreated"), QStringLiteral("1999-05-01T00:00:00Z")},
            {QStringLiteral("xesam:lastUsed"), QStringLiteral("2024-02-03T10:00:00Z")},
            {QStringLiteral("xesam:useCount"), 12},
        });
        QCOMPARE(listed.trackId, QStringLiteral("/org/mpd/Track/7"));
        QCOMPARE(listed.artistText(), QStringLiteral("A, B"));
        QCOMPARE(listed.year.value_or(0), 1999);
        QCOMPARE(listed.lastUsed->date(), QDate(2024, 2, 3));
        QCOMPARE(listed.useCount.value_or(0), 12);
    }

    void aTrackIsNewOnlyWhenItsIdentityChanges()
    {
        MprisTrack a = MprisTrack::fromMetadata({{QStringLiteral("xesam:title"), QStringLiteral("T")}});
        MprisTrack b = a;
        b.userRating = 0.5;
        b.artUrl = QStringLiteral("file:///x.png");
        QVERIFY(a.sameTrackAs(b));
        b.album = QStringLiteral("Other");
        QVERIFY(!a.sameTrackAs(b));
        QVERIFY(MprisTrack::fromMetadata({{QStringLiteral("mpris:trackid"),
                                           QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")}})
                    .isEmpty());
    }

    void busNamesMatchAtElementBoundaries_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("busName");
        QTest::addColumn<QString>("identity");
        QTest::addColumn<bool>("matches");
        const QString p = QStringLiteral("org.mpris.MediaPlayer2.");
        QTest::newRow("exact") << "spotify" << p + "spotify" << "" << true;
        QTest::newRow("not a longer word") << "spotify" << p + "spotifyd" << "" << false;
        QTest::newRow("instance") << "chromium" << p + "chromium.instance575" << "" << true;
        QTest::newRow("whole instance") << "firefox.instance_1_34" << p + "firefox.instance_1_34" << "" << true;
        QTest::newRow("case") << "VLC" << p + "vlc" << "" << true;
        QTest::newRow("identity") << "mozilla firefox" << p + "firefox.instance_2" << "Mozilla Firefox" << true;
        QTest::newRow("part of identity") << "firefox" << p + "ff" << "Mozilla Firefox" << false;
        QTest::newRow("not mpris") << "spotify" << "com.spotify" << "" << false;
    }

    void busNamesMatchAtElementBoundaries()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, busName);
        QFETCH(QString, identity);
        QFETCH(bool, matches);
        QCOMPARE(PlayerMapping::matches(pattern, busName, identity), matches);
    }

    void mappingAndIgnoringDecideTheName()
    {
        const QString p = QStringLiteral("org.mpris.MediaPlayer2.");
        const PlayerMapping plain;
        QCOMPARE(plain.nameFor(p + "spotify", QStringLiteral("Spotify")), QStringLiteral("Spotify"));
        QCOMPARE(plain.nameFor(p + "spotifyd", QString()), QStringLiteral("Music"));
        QCOMPARE(plain.nameFor(p + "vlc", QStringLiteral("VLC media player")), QStringLiteral("Music"));
        QVERIFY(plain.nameFor(p + "playerctld", QString()).isEmpty());

        const PlayerMapping mapped(
            QVariantMap{{QStringLiteral("Swinsian"), QStringLiteral("vlc")},
                        {QStringLiteral("Hermes"), QStringLiteral("Mozilla Firefox")},
                        {QStringLiteral("Nonsense"), QStringLiteral("mpv")},
                        {QStringLiteral("Radium"), 5}},
            QVariantList{QStringLiteral("chromium"), 7});
        QCOMPARE(mapped.nameFor(p + "vlc", QString()), QStringLiteral("Swinsian"));
        QCOMPARE(mapped.nameFor(p + "firefox.instance_1_2", QStringLiteral("Mozilla Firefox")),
                 QStringLiteral("Hermes"));
        QCOMPARE(mapped.nameFor(p + "mpv", QString()), QStringLiteral("Music")); // not a catalogue name
        QVERIFY(mapped.isIgnored(p + "chromium.instance9", QString()));
        QVERIFY(mapped.nameFor(p + "chromium.instance9", QString()).isEmpty());

        // A single text is a list of one.
        QVERIFY(PlayerMapping({}, QStringLiteral("mpv")).isIgnored(p + "mpv", QString()));
    }

    void positionMovesOnWhilePlayingAndNeverStepsBackQuietly()
    {
        const qint64 s = 1'000'000'000; // ns
        PositionClock clock;
        clock.setPlaying(true, 0);
        QVERIFY(clock.reading(10'000'000, 0));
        QCOMPARE(clock.positionUs(2 * s), 12'000'000);
        // A player stuck at 0 while playing, or a late answer: dropped.
        QVERIFY(!clock.reading(0, 3 * s));
        QCOMPARE(clock.positionUs(3 * s), 13'000'000);
        // A small correction backwards is taken.
        QVERIFY(clock.reading(12'600'000, 3 * s));
        // A seek or a new track may go anywhere.
        clock.jumpTo(1'000'000, 4 * s);
        QCOMPARE(clock.positionUs(4 * s), 1'000'000);
        // Paused: frozen where it was.
        clock.setPlaying(false, 5 * s);
        QCOMPARE(clock.positionUs(60 * s), 2'000'000);
        // Twice the rate, capped at the length.
        clock.setPlaying(true, 60 * s);
        clock.setRate(2.0, 60 * s);
        clock.setLength(5'000'000);
        QCOMPARE(clock.positionUs(61 * s), 4'000'000);
        QCOMPARE(clock.positionUs(70 * s), 5'000'000);

        // A new track whose player answers 0 every second: the clock runs on
        // (each poll within a second of 0 would otherwise pull it back).
        PositionClock stuck;
        stuck.setPlaying(true, 0);
        stuck.jumpTo(0, 0);
        for (qint64 poll = 1; poll <= 4; ++poll)
            QVERIFY(!stuck.reading(0, poll * s - s / 10));
        QCOMPARE(stuck.positionUs(4 * s), 4'000'000);
        // ...and a reading that moves on is taken again.
        QVERIFY(stuck.reading(4'200'000, 4 * s));
        QCOMPARE(stuck.positionUs(5 * s), 5'200'000);
        // Paused, a reading is the truth even when it is the same again.
        stuck.setPlaying(false, 5 * s);
        QVERIFY(stuck.reading(5'000'000, 5 * s));
    }

    void artworkIsReadOnlyWhenItIsAnImageWithinTheCap()
    {
        const QByteArray png = Pixels::pngBytes(QSize(8, 8), Qt::red);
        QVERIFY(ArtFetcher::isImage(png) && !ArtFetcher::isImage(png.left(4)));
        QVERIFY(!ArtFetcher::isImage(QByteArrayLiteral("<html>not found</html>")));

        QCOMPARE(ArtFetcher::readDataAddress(QStringLiteral("data:image/png;base64,")
                                             + QString::fromLatin1(png.toBase64())),
                 png);
        QVERIFY(ArtFetcher::readDataAddress(QStringLiteral("data:image/png;base64,@@@")).isEmpty());
        QVERIFY(ArtFetcher::readDataAddress(QStringLiteral("http://x/y.png")).isEmpty());

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cover")); // no extension
        QVERIFY(TestFiles::writeBytes(path, png));
        QCOMPARE(ArtFetcher::readFile(path), png);
        QVERIFY(ArtFetcher::readFile(dir.path()).isEmpty()); // a folder
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(ArtFetcher::readFile(fifo).isEmpty()); // would block forever
        const QString big = dir.filePath(QStringLiteral("big"));
        QFile bigFile(big);
        QVERIFY(bigFile.open(QIODevice::WriteOnly) && bigFile.resize(ArtFetcher::maxBytes + 1));
        QVERIFY(ArtFetcher::readFile(big).isEmpty());

        // Candidates are tried in order; the one that served is named.
        ArtFetcher fetcher(nullptr);
        QByteArray got;
        QString from = QStringLiteral("unset");
        const auto done = [&](const QByteArray &bytes, const QString &address) {
            got = bytes;
            from = address;
        };
        fetcher.fetch({QUrl::fromLocalFile(big).toString(), QUrl::fromLocalFile(path).toString()}, done);
        QCOMPARE(got, png);
        QCOMPARE(from, QUrl::fromLocalFile(path).toString());
        fetcher.fetch({QStringLiteral("http://127.0.0.1:1/x.png")}, done); // no network manager
        QVERIFY(got.isEmpty() && from.isEmpty());
    }

    void volumeGoesThroughTheSoundServersTool()
    {
        QCOMPARE(SystemVolume::parsePactl(QStringLiteral(
                     "Volume: front-left: 26214 /  40% / -23.88 dB,   front-right: 26214 /  40% / -23.88 dB")),
                 40);
        QCOMPARE(SystemVolume::parseWpctl(QStringLiteral("Volume: 0.35 [MUTED]")), 35);
        QVERIFY(!SystemVolume::parsePactl(QStringLiteral("Connection failure")));

        // Fake tools on PATH: a pactl that keeps its volume in a file, a
        // wpctl that hangs.
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("volume"));
        QFile::remove(store);
        const auto writeTool = [&](const QString &name, const QByteArray &body) {
            QVERIFY(TestFiles::writeBytes(dir.filePath(name), "#!/bin/sh\n" + body));
            QFile::setPermissions(dir.filePath(name), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        };
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", dir.path().toLocal8Bit() + ":/usr/bin:/bin");
        writeTool(QStringLiteral("pactl"), "exit 1\n"); // no pulse server
        writeTool(QStringLiteral("wpctl"), "exec sleep 60\n");
        // pactl fails; wpctl is stopped after its limit (unbounded, this
        // would take the whole minute).
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!SystemVolume::read());
        QVERIFY(timer.elapsed() < 30000);

        writeTool(QStringLiteral("pactl"),
                  "f='" + store.toLocal8Bit() + "'\n"
                  "case \"$1\" in\n"
                  "get-sink-volume) echo \"Volume: front-left: 1 / $(cat \"$f\" 2>/dev/null || echo 85)% / 0 dB\";;\n"
                  "set-sink-volume) echo \"$3\" | tr -d % > \"$f\";;\n"
                  "*) exit 1;;\nesac\n");
        QCOMPARE(SystemVolume::step(true).value_or(-1), 95);
        QCOMPARE(SystemVolume::step(true).value_or(-1), 100);
        QCOMPARE(SystemVolume::step(false).value_or(-1), 90);

        // The players' volume script is answered at once and steps on the
        // bridge's own thread: this pactl reads nothing until told to go,
        // which is only after the script returned.
        const QString go = dir.filePath(QStringLiteral("go"));
        writeTool(QStringLiteral("pactl"),
                  "f='" + store.toLocal8Bit() + "'\n"
                  "case \"$1\" in\n"
                  "get-sink-volume) while [ ! -e '" + go.toLocal8Bit() + "' ]; do sleep 0.02; done;"
                  " echo \"Volume: front-left: 1 / $(cat \"$f\")% / 0 dB\";;\n"
                  "set-sink-volume) echo \"$3\" | tr -d % > \"$f\";;\n"
                  "*) exit 1;;\nesac\n");
        {
            DefaultsStore defaults(dir.path());
            MprisBridge bridge(defaults, nullptr);
            QString error;
            QVERIFY(bridge.execute(scriptText(QString(), ScriptVocabulary::Operation::VolumeUp), &error).isNone());
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QVERIFY(TestFiles::writeBytes(go, ""));
            QTRY_COMPARE(TestFiles::readBytes(store).trimmed(), QByteArray("100"));
        }
        qputenv("PATH", oldPath);
    }
};

QTEST_GUILESS_MAIN(TestMprisParts)
#include "tst_mprisparts.moc"
