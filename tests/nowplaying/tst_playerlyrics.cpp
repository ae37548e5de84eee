// The player's own words for the Lyrics theme, the timing the engine hands
// its layout, and the reading position of untimed tracks across cycles.
#include "nowplaying/PlayerLyrics.h"
#include "nowplaying/Scenes.h"
#include "support/EngineHarness.h"

#include <QtTest>

using Scene::one;

namespace {

QByteArray withLyrics(const char *player, const QByteArray &lyrics, const char *more = R"("duration": 200)")
{
    return one(player, "playing", R"("name": "Song", "artist": "Band", "lyrics": ")" + lyrics + "\", " + more);
}

} // namespace

class TestPlayerLyrics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wordsPerPlayer_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<int>("lines");    // −1: no lines
        QTest::addColumn<int>("nonEmpty");
        QTest::addRow("iTunes, any line break, blanks kept")
            << withLyrics("iTunes", R"(One\r\nTwo\n\nThree)") << 4 << 3;
        QTest::addRow("Music") << withLyrics("Music", R"(a\rb)") << 2 << 2;
        QTest::addRow("no lyrics: no type reads as none")
            << one("iTunes", "playing", R"("name": "Song", "duration": 200)") << -1 << 0;
        QTest::addRow("only line breaks") << withLyrics("iTunes", R"(\n\n)") << -1 << 0;
        QTest::addRow("Spotify keeps none") << one("Spotify", "playing", R"("name": "Song", "duration": 200)") << -1 << 0;
        QTest::addRow("6000 lines are cut") << withLyrics("iTunes", QByteArray(R"(x\n)").repeated(6000)) << 5000 << 5000;
    }
    void wordsPerPlayer()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(int, lines);
        QFETCH(int, nonEmpty);
        EngineHarness h(scenario);
        h.makeView();
        LyricsSource *source = h.engine().lyrics();
        QVERIFY(source);
        const LyricsAnswer answer = source->lyricsFor(QStringLiteral("Song"), QStringLiteral("Band"),
                                                      h.engine().currentPlayer());
        QCOMPARE(answer.state, lines < 0 ? LyricsAnswer::State::None : LyricsAnswer::State::Lines);
        QCOMPARE(answer.lines.size(), std::max(lines, 0));
        QCOMPARE(answer.nonEmptyLines, nonEmpty);
    }

    // Read for a Lyrics layout only; the broadcaster's report when it is the
    // source, though the script slots still hold the last local player's.
    void timingHandedToTheLayout_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<bool>("broadcaster");
        QTest::addColumn<ThemeId>("layout");
        QTest::addColumn<int>("duration");
        QTest::addColumn<int>("position");
        const QByteArray itunes = one("iTunes", "playing", R"("duration": 200)", R"("position": 30)");
        QTest::addRow("iTunes") << itunes << false << ThemeId::Lyrics << 200 << 30;
        QTest::addRow("not for Classic") << itunes << false << ThemeId::Classic << 0 << 0;
        QTest::addRow("Spotify's milliseconds")
            << one("Spotify", "playing", R"("duration": 215)", R"("position": 30)") << false << ThemeId::Lyrics << 215 << 30;
        QTest::addRow("broadcaster over a paused iTunes")
            << one("iTunes", "paused", R"("duration": 200)", R"("position": 30)") << true << ThemeId::Lyrics << 300 << 150;
    }
    void timingHandedToTheLayout()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(bool, broadcaster);
        QFETCH(ThemeId, layout);
        QFETCH(int, duration);
        QFETCH(int, position);
        EngineHarness h(scenario);
        h.makeView();
        h.engine().refresh(ThemeId::Lyrics); // the local player's scripts are set up
        if (broadcaster) {
            h.broadcaster.track = QStringLiteral("Far");
            h.broadcaster.player = QStringLiteral("itunes");
            h.broadcaster.duration = 300.7;
            h.broadcaster.bookmark = 150.2;
            h.state().preferredPlayer = h.state().currentPlayer = PlayerId::Broadcaster;
        }
        const NowShowing::LyricsTiming timing = h.engine().refresh(layout).lyricsTiming;
        QCOMPARE(timing.duration, duration);
        QCOMPARE(timing.position, position);
    }

    // An untimed track's reading position moves on once a layout, only while
    // there are words, and the engine keeps it for the next layout.
    void readingPositionAcrossCycles_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<int>("step");
        QTest::addRow("words") << withLyrics("iTunes", QByteArray(R"(la\n)").repeated(60), R"("duration": 0)") << 11;
        QTest::addRow("no words") << one("iTunes", "playing", R"("name": "Song", "duration": 0)") << 0;
    }
    void readingPositionAcrossCycles()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(int, step);
        // 500 frames, 830 for this theme: 11 lines a cycle.
        RenderedView w(scenario, {{QStringLiteral("theme"), 6}, {QStringLiteral("cycle"), 500}}, QSizeF(320, 200));
        w.start();
        for (int layouts = 1; layouts <= 3; ++layouts) {
            w.h.view->cycle().framesCount = w.h.view->cycle().CYCLE + 1;
            w.frames(2);
            QCOMPARE(w.h.state().track.positionInLyricsForRadio, layouts * step);
        }
    }
};

QTEST_MAIN(TestPlayerLyrics)
#include "tst_playerlyrics.moc"
