// What the engine hands the Lyrics layout: the player's own words, the
// timing, and the reading position of untimed tracks across cycles.
#include "nowplaying/Scenes.h"
#include "support/EngineHarness.h"

#include <QtTest>

using Scene::one;

namespace {

QByteArray itunes(const QByteArray &lyrics, const char *player = "iTunes", const char *more = R"("duration": 200)")
{
    const QByteArray words = lyrics.isNull() ? QByteArray() : R"("lyrics": ")" + lyrics + "\", ";
    return one(player, "playing", R"("name": "Song", )" + words + more, R"("position": 30)");
}

} // namespace

class TestPlayerLyrics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Words from iTunes and Music only; duration and position read for a
    // Lyrics layout only, the broadcaster's when it is the source though the
    // script slots still hold the local player's.
    void handedToTheLayout_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<ThemeId>("layout");
        QTest::addColumn<bool>("broadcaster");
        QTest::addColumn<int>("lines"); // −1: no lines
        QTest::addColumn<int>("nonEmpty");
        QTest::addColumn<int>("duration");
        QTest::addColumn<int>("position");
        const ThemeId lyrics = ThemeId::Lyrics;
        QTest::addRow("any line break, blanks kept") << itunes(R"(One\r\nTwo\n\nThree)") << lyrics << false << 4 << 3 << 200 << 30;
        QTest::addRow("Music") << itunes(R"(a\rb)", "Music") << lyrics << false << 2 << 2 << 200 << 30;
        QTest::addRow("none: no type reads as no text") << itunes({}) << lyrics << false << -1 << 0 << 200 << 30;
        QTest::addRow("only line breaks") << itunes(R"(\n\n)") << lyrics << false << -1 << 0 << 200 << 30;
        QTest::addRow("6000 lines are cut") << itunes(QByteArray(R"(x\n)").repeated(6000)) << lyrics << false << 5000
                                            << 5000 << 200 << 30;
        QTest::addRow("Spotify: milliseconds, no words")
            << itunes({}, "Spotify", R"("duration": 215)") << lyrics << false << -1 << 0 << 215 << 30;
        QTest::addRow("not read for Classic") << itunes("a") << ThemeId::Classic << false << 1 << 1 << 0 << 0;
        QTest::addRow("the broadcaster's report") << itunes("a") << lyrics << true << -1 << 0 << 300 << 150;
    }
    void handedToTheLayout()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(ThemeId, layout);
        QFETCH(bool, broadcaster);
        QFETCH(int, lines);
        QFETCH(int, nonEmpty);
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
        const NowShowing showing = h.engine().refresh(layout);
        QCOMPARE(showing.lyricsTiming.duration, duration);
        QCOMPARE(showing.lyricsTiming.position, position);
        const LyricsAnswer answer = h.engine().lyrics()->lyricsFor(QStringLiteral("Song"), {}, showing.player);
        QCOMPARE(answer.state, lines < 0 ? LyricsAnswer::State::None : LyricsAnswer::State::Lines);
        QCOMPARE(answer.lines.size(), std::max(lines, 0));
        QCOMPARE(answer.nonEmptyLines, nonEmpty);
    }

    // An untimed track's reading position moves on once a layout, only while
    // there are words, and the engine keeps it for the next layout.
    void readingPositionAcrossCycles_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<int>("step");
        QTest::addRow("words") << itunes(QByteArray(R"(la\n)").repeated(60), "iTunes", R"("duration": 0)") << 11;
        QTest::addRow("no words") << itunes({}, "iTunes", R"("duration": 0)") << 0;
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
