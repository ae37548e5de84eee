// What a user sees before any track plays, and the label's first impressions:
// the idle card, the built-in artwork, the marks a source did not tell and
// the bar held through the fade-out.
#include "support/EngineHarness.h"
#include "support/Fakes.h"
#include "support/Pixels.h"

#include "core/CoverlumeView.h"
#include "core/FrameCycle.h"
#include "nowplaying/NowPlayingEngine.h"
#include "render/CLProgressIndicator.h"
#include "render/IdleCard.h"
#include "render/RenderStage.h"

#include <QJsonObject>
#include <QtTest>

namespace {

const QByteArray kEmpty = R"({"players": []})";
// iTunes plays, then quits at frame 30.
const QByteArray kQuits = R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
    {"name": "Alpha", "artist": "Band A", "album": "Album A", "duration": 600}]}],
    "events": [{"frame": 30, "player": "iTunes", "action": "quit"}]})";
const QByteArray kPaused = R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
    {"name": "Alpha", "artist": "Band A", "album": "Album A", "duration": 600}]}],
    "events": [{"frame": 30, "player": "iTunes", "action": "pause"}]})";

int brightest(const QImage &image)
{
    int top = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            top = std::max({top, qRed(p), qGreen(p), qBlue(p)});
        }
    return top;
}

} // namespace

class TestFirstLook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void anEmptyStageShowsTheCard_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("hint");
        const QString start = QStringLiteral("Start a music player, such as mpv, to see it here");
        QTest::newRow("no player, Classic") << kEmpty << int(ThemeId::Classic) << 100 << start;
        QTest::newRow("no player, Cover Only") << kEmpty << int(ThemeId::CoverOnly) << 100 << start;
        QTest::newRow("no player, Apple TV") << kEmpty << int(ThemeId::AppleTV) << 100 << start;
        QTest::newRow("the player quit") << kQuits << int(ThemeId::Classic) << 700 << start;
        QTest::newRow("paused, Cover Only") << kPaused << int(ThemeId::CoverOnly) << 100 << QStringLiteral("iTunes Paused");
    }
    void anEmptyStageShowsTheCard()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(int, theme);
        QFETCH(int, frames);
        QFETCH(QString, hint);
        RenderedView v(scenario, withTheme(theme, {{QStringLiteral("defaultArtwork"), 0}}));
        v.start();
        v.frames(frames);
        const QJsonObject card = v.h.view->state().value(QStringLiteral("idleCard")).toObject();
        QCOMPARE(card.value(QStringLiteral("hint")).toString(), hint);
        const QImage shot = v.snapshot(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(Pixels::countWhere(shot, [](QRgb p) { return qGray(p) > 40; }) > 500); // not black
        QVERIFY2(brightest(shot) <= 128, qPrintable(QString::number(brightest(shot)))); // dim

        // The next cycle puts it somewhere else.
        const QPointF before(card.value(QStringLiteral("x")).toDouble(), card.value(QStringLiteral("y")).toDouble());
        v.frames(v.h.view->cycle().CYCLE + 2);
        const QJsonObject next = v.h.view->state().value(QStringLiteral("idleCard")).toObject();
        const QPointF after(next.value(QStringLiteral("x")).toDouble(), next.value(QStringLiteral("y")).toDouble());
        QVERIFY((after - before).manhattanLength() > 20);
    }

    void aPlayingTrackShowsNoCard()
    {
        RenderedView v(oneTrack(), withTheme(int(ThemeId::CoverOnly)));
        v.start();
        v.frames(100);
        QVERIFY(!v.h.view->state().contains(QStringLiteral("idleCard")));
    }

    void theCardDriftsSlowlyAndStaysOnScreen()
    {
        QDateTime now(QDate(2026, 12, 6), QTime(20, 0), Qt::UTC);
        IdleCard card([&now] { return now; });
        const QSizeF screen(1280, 800);
        card.place(screen, 0.0, 1.0, QStringLiteral("hint"));
        const QPointF start = card.frame().topLeft();
        now = now.addSecs(10);
        card.refresh();
        const double moved = QLineF(start, card.frame().topLeft()).length();
        QVERIFY(std::abs(moved - 10 * IdleCard::driftPointsPerSecond) < 0.5);
        now = now.addSecs(100000);
        card.refresh();
        QVERIFY(QRectF(QPointF(0, 0), screen).contains(card.frame()));
    }

    void theDefaultArtworkSetting_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<bool>("built_in");
        QTest::newRow("0: none") << 0 << false;
        QTest::newRow("1: built in") << 1 << true;
        QTest::newRow("2: built in, no lookup") << 2 << true;
    }
    void theDefaultArtworkSetting()
    {
        QFETCH(int, setting);
        QFETCH(bool, built_in);
        RenderedView v(oneTrack(), withTheme(int(ThemeId::Classic), {{QStringLiteral("defaultArtwork"), setting}}));
        v.start();
        v.frames(100);
        QCOMPARE(!v.stage->coverView()->contents().isNull(), built_in);
        // Sharp: drawn larger than any cover is shown, and sized once; never
        // decoded when it is not shown.
        QCOMPARE(v.stage->context().marks.defaultArtworkImage.width() >= 2048, built_in);
    }

    void marksAreShownOnlyWhenTold_data()
    {
        QTest::addColumn<QByteArray>("marks");
        QTest::addColumn<QVariant>("loved");
        QTest::newRow("told not loved") << QByteArray(R"("loved": false)") << QVariant(false);
        QTest::newRow("told loved") << QByteArray(R"("loved": true)") << QVariant(true);
    }
    void marksAreShownOnlyWhenTold()
    {
        QFETCH(QByteArray, marks);
        QFETCH(QVariant, loved);
        EngineHarness h(R"({"players": [{"name": "Music", "state": "playing", "tracks": [
            {"name": "A", "artist": "B", "album": "C", "duration": 300, )" + marks + "}]}]}");
        h.makeView();
        h.frames(3);
        QCOMPARE(h.view->state().value(QStringLiteral("loved")).toVariant(), loved);
        QVERIFY(h.engine().nowShowing().marksKnown);
    }

    void theBarKeepsItsTrackThroughTheFadeOut()
    {
        // The first track ends a few seconds in; the cycle fades it out
        // with its own length on the bar and lays the next one out with its.
        const QByteArray scenario = R"({"players": [{"name": "iTunes", "state": "playing", "position": 20, "tracks": [
            {"name": "One", "artist": "B", "album": "C", "duration": 25},
            {"name": "Two", "artist": "B", "album": "C", "duration": 187}]}]})";
        RenderedView v(scenario, withTheme(int(ThemeId::Classic)));
        v.start();
        const int L = v.h.view->cycle().CYCLE;
        int fadeFramesSeen = 0;
        for (int i = 0; i < 2000 && v.h.view->state().value(QStringLiteral("track")).toString() != u"Two"; ++i) {
            v.frame();
            if (v.framesCount() > L - FrameCycle::fadeFrames
                && v.h.view->state().value(QStringLiteral("track")).toString() == u"One") {
                ++fadeFramesSeen;
                QCOMPARE(v.stage->progressIndicator()->maxValue(), 25.0);
            }
        }
        QVERIFY(fadeFramesSeen > 10);
        QCOMPARE(v.stage->progressIndicator()->maxValue(), 187.0);
    }
};

QTEST_MAIN(TestFirstLook)
#include "tst_firstlook.moc"
