// The Text, Mosaic and Lyrics themes on the real stage: where their layouts
// put things, what the mosaic and lyric views draw, and the lyric window.
// Set COVERLUME_SAMPLE_DIR to keep the pictures for a look.

#include "core/ThemeSettings.h"
#include "model/LyricsSource.h"
#include "render/CLProgressIndicator.h"
#include "render/CompositeLyricView.h"
#include "render/CompositeMosaicView.h"
#include "render/RenderStage.h"
#include "support/EngineHarness.h"
#include "support/Pixels.h"
#include "support/ViewHarness.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace Pixels;

Q_DECLARE_METATYPE(LyricsAnswer)
Q_DECLARE_METATYPE(NowShowing::LyricsTiming)

namespace {

const QColor kArtwork(200, 40, 40);

// A red cover the simulated player hands out, in a directory of the test's own.
QString artworkFile()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cover.png"));
    if (!QFile::exists(path))
        solid(kArtwork, QSize(64, 64)).save(path);
    return path;
}

// Words the test sets, answered per title; an unknown title is "not yet".
class FakeLyrics final : public LyricsSource
{
public:
    QHash<QString, LyricsAnswer> answers;
    LyricsAnswer lyricsFor(const QString &title, const QString &, PlayerId) override
    {
        return answers.value(title, LyricsAnswer::notYet());
    }
};

LyricsAnswer numberedLines(int count)
{
    LyricsAnswer answer{LyricsAnswer::State::Lines, {}, count};
    for (int i = 1; i <= count; ++i)
        answer.lines << QStringLiteral("line %1").arg(i);
    return answer;
}

NowShowing showingTrack(const QString &title, qint32 duration = 0, qint32 position = 0, int reading = 0)
{
    NowShowing showing;
    showing.player = PlayerId::ITunes;
    showing.track = AttributedString(title);
    showing.artist = AttributedString(QStringLiteral("Band"));
    showing.lyricsTiming = {duration, position, reading};
    return showing;
}

// The render stage of the Lyrics theme on a view's services, with words of
// the test's own.
struct LyricsStage
{
    ViewHarness v{withTheme(6)};
    ThemeSettings themes{*v.defaults};
    ViewMarks marks;
    QSizeF size{1280, 800};
    FakeLyrics words;
    StageContext context{*v.defaults, themes, v.clock, v.distributed, v.host, marks, size, &words};
    RenderStage stage{context};

    LyricsStage()
    {
        stage.setUpViews();
        stage.relativeSizes();
        stage.addSubViews(NowShowing());
    }
    const QStringList &window() const { return stage.lyricLines()->lyrics(); }
    // Only `slot` shows, at the top of its fade.
    void light(int slot)
    {
        for (StageTile &tile : stage.layoutTiles())
            tile.counter = -1;
        stage.layoutTiles()[slot].counter = 200;
        stage.setLyricTransparency(1.0f);
    }
};

bool within(const QRectF &inner, const QRectF &outer)
{
    return inner.left() >= outer.left() - 1e-6 && inner.right() <= outer.right() + 1e-6
        && inner.top() >= outer.top() - 1e-6 && inner.bottom() <= outer.bottom() + 1e-6;
}

} // namespace

class TestTiledThemes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void textBoxAndBar_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<int>("seed");
        for (int seed : {1, 2, 3, 4})
            QTest::addRow("1440x900 seed %d", seed) << QSizeF(1440, 900) << seed;
        QTest::addRow("1920x1080") << QSizeF(1920, 1080) << 5;
    }
    void textBoxAndBar()
    {
        QFETCH(QSizeF, size);
        QFETCH(int, seed);
        RenderedView s(oneTrack(), withTheme(1), size);
        ::srandom(seed);
        s.layOut(ThemeId::Text, QImage());
        s.stage->sync(ProgressSnapshot{true, 200, 100, true});
        const StageGeometry &g = s.stage->geometry();
        const double S = g.imagesize, M = g.margin, W = size.width();

        // A box 1.5 S by S, its left edge between 2 M and W − 1.5 S.
        QCOMPARE(g.labelRect.size(), QSizeF(1.5 * S, S));
        QVERIFY(g.labelRect.left() >= 2 * M - 1e-3 && g.labelRect.left() <= W - 1.5 * S + 1e-3);
        QCOMPARE(g.alignment, g.labelRect.center().x() > 0.5 * W ? 1 : 0);

        // The bar runs under the whole box; the text keeps to the side
        // towards the middle.
        const QImage picture = s.snapshot(QStringLiteral("text-%1").arg(seed));
        const QRect box = s.inPicture(g.labelRect);
        const QRect bar = boundsWhere(picture, [](QRgb p) { return qGray(p) > 60; }, s.inPicture(g.progressRect));
        QVERIFY2(std::abs(bar.left() - box.left()) <= 2 && std::abs(bar.right() - box.right()) <= 2,
                 qPrintable(QStringLiteral("bar %1…%2, box %3…%4").arg(bar.left()).arg(bar.right())
                                .arg(box.left()).arg(box.right())));
        const QRect text = boundsWhere(picture, [](QRgb p) { return qGray(p) > 100; }, box);
        QVERIFY(!text.isEmpty());
        if (g.alignment == 1)
            QVERIFY(text.left() - box.left() <= g.fontsize);
        else
            QVERIFY(box.right() - text.right() <= g.fontsize);
    }

    // Tile i starts d frames after tile i − 1; sizes that would give d < 1
    // space the tiles as the default size does.
    void mosaicTileSpacing_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<int>("spacing");
        auto size = [](QVariant A) { return withTheme(2, {{QStringLiteral("mosaicSettings"),
                                                             QVariantMap{{QStringLiteral("imageSize"), A}}}}); };
        QTest::addRow("registered 1.2") << withTheme(2) << 23;
        QTest::addRow("1.0") << size(1.0) << 18;
        QTest::addRow("1.8") << size(1.8) << 38;
        QTest::addRow("0.2 (d < 1)") << size(0.2) << 23;
        QTest::addRow("no imageSize in the dictionary")
            << withTheme(2, {{QStringLiteral("mosaicSettings"), QVariantMap{{QStringLiteral("showTime"), 1}}}}) << 23;
    }
    void mosaicTileSpacing()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(int, spacing);
        RenderedView s(oneTrack(), settings, QSizeF(640, 400));
        s.layOut(ThemeId::Mosaic, solid(kArtwork, QSize(32, 32)));
        const std::vector<StageTile> &tiles = s.stage->tiles();
        QCOMPARE(tiles.size(), size_t(70));
        for (size_t i : {size_t(0), size_t(1), size_t(10), size_t(69)})
            QCOMPARE(tiles[i].counter, -float(i) * float(spacing));
    }

    // Every tile lies on the mosaic area, on the side away from the label,
    // whichever side the square takes; on a narrow screen too.
    void mosaicTilesStayOnTheirArea_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<int>("seed");
        for (int seed : {1, 2, 3, 4})
            QTest::addRow("1280x800 seed %d", seed) << QSizeF(1280, 800) << seed;
        QTest::addRow("narrow 700x1000") << QSizeF(700, 1000) << 1;
    }
    void mosaicTilesStayOnTheirArea()
    {
        QFETCH(QSizeF, size);
        QFETCH(int, seed);
        RenderedView s(oneTrack(), withTheme(2), size);
        ::srandom(seed);
        s.layOut(ThemeId::Mosaic, solid(kArtwork, QSize(32, 32)));
        const StageGeometry &g = s.stage->geometry();
        const QRectF area = s.stage->mosaic()->frame();
        const double x = g.randomPoint.x(), S = g.imagesize;
        QVERIFY(g.alignment == 1 ? area.right() <= x + S : area.left() >= x);
        for (const StageTile &tile : s.stage->tiles()) {
            QCOMPARE(tile.frame.size(), QSizeF(S, S));
            QVERIFY2(tile.frame.left() >= 0 && tile.frame.bottom() <= size.height() + 1e-3,
                     qPrintable(QStringLiteral("%1,%2").arg(tile.frame.x()).arg(tile.frame.y())));
            if (size.width() >= 1.25 * S + S)
                QVERIFY(tile.frame.right() <= area.width() + 1e-3);
        }
    }

    // Tile alpha over its age, times the fade; only showing tiles have a layer.
    void mosaicTilePixels_data()
    {
        QTest::addColumn<float>("counter");
        QTest::addColumn<float>("fade");
        QTest::addColumn<double>("alpha");
        QTest::addRow("due") << 0.f << 1.f << 0.0;
        QTest::addRow("rising") << 30.f << 1.f << 0.2;
        QTest::addRow("top at 60") << 60.f << 1.f << 0.4;
        QTest::addRow("falling") << 90.f << 1.f << 0.2;
        QTest::addRow("119") << 119.f << 1.f << 0.0067;
        QTest::addRow("gone at 120") << 120.f << 1.f << 0.0;
        QTest::addRow("half faded") << 60.f << 0.5f << 0.2;
    }
    void mosaicTilePixels()
    {
        QFETCH(float, counter);
        QFETCH(float, fade);
        QFETCH(double, alpha);
        RenderedView s(oneTrack(), withTheme(2), QSizeF(640, 400));
        s.layOut(ThemeId::Mosaic, solid(kArtwork, QSize(32, 32)));
        std::vector<StageTile> &tiles = s.stage->layoutTiles();
        for (StageTile &tile : tiles)
            tile.counter = -1;
        tiles[0].counter = counter;
        s.stage->setMosaicTransparency(fade);

        const QImage picture = s.snapshot();
        const QRectF area = s.stage->mosaic()->frame();
        const QRect tile = s.inPicture(tiles[0].frame.translated(area.topLeft())).adjusted(3, 3, -3, -3);
        const QRgb inside = picture.pixel(tile.center());
        QVERIFY2(std::abs(qRed(inside) - alpha * kArtwork.red()) <= 2, qPrintable(QString::number(qRed(inside))));
        QCOMPARE(s.stage->mosaic()->shownLayers().size(), alpha > 0 ? 1 : 0);
    }

    // Later tiles over earlier ones, whichever showed first; a hold frame
    // redraws only where tiles are.
    void mosaicOrderAndHoldDamage()
    {
        RenderedView s(oneTrack(600, artworkFile()), withTheme(2, {{QStringLiteral("mosaicSettings"),
                                                  QVariantMap{{QStringLiteral("showProgress"), false}}}}),
                       QSizeF(640, 400));
        s.start();
        s.layOut(ThemeId::Mosaic, solid(kArtwork, QSize(32, 32)));
        std::vector<StageTile> &tiles = s.stage->layoutTiles();
        tiles[2].counter = 10;
        s.stage->setMosaicTransparency(1.0f);
        tiles[0].counter = 10;
        s.stage->setMosaicTransparency(1.0f);
        const QList<Layer *> &order = s.stage->mosaic()->shownLayers();
        QCOMPARE(order.size(), 2);
        QCOMPARE(order[0]->name(), QStringLiteral("tile 0"));
        QCOMPARE(order[1]->name(), QStringLiteral("tile 2"));

        // Over a stretch of the hold where tiles come and go.
        auto tileRects = [&s] {
            QRegion shown;
            const QRectF area = s.stage->mosaic()->frame();
            for (const Layer *tile : s.stage->mosaic()->shownLayers())
                shown += s.inPicture(tile->frame().translated(area.topLeft())).adjusted(-1, -1, 1, 1);
            return shown;
        };
        s.frames(2); // the first frame ends the starting cycle
        while (s.framesCount() < 200)
            s.frame();
        QRegion all;
        for (int i = 0; i < 50; ++i) {
            const QRegion before = tileRects();
            const QRegion damage = s.frame();
            all += damage;
            QVERIFY2((damage - before - tileRects()).isEmpty(), qPrintable(QString::number(s.framesCount())));
        }
        QVERIFY(!all.isEmpty());
    }

    // The lyric window from the words, the timing and the reading position.
    void lyricWindow_data()
    {
        QTest::addColumn<LyricsAnswer>("answer");
        QTest::addColumn<NowShowing::LyricsTiming>("timing");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("nextReading"); // −1: none
        const LyricsAnswer eight = numberedLines(8), thirty = numberedLines(30);
        QTest::addRow("8 lines at 100 s of 200 s") << eight << NowShowing::LyricsTiming{200, 100, 0} << 6 << "line 3" << -1;
        QTest::addRow("at 0 s: the blanks first") << eight << NowShowing::LyricsTiming{200, 0, 0} << 12 << "" << -1;
        QTest::addRow("250 s of 200 s") << eight << NowShowing::LyricsTiming{200, 250, 0} << 0 << "" << -1;
        QTest::addRow("position below 0") << eight << NowShowing::LyricsTiming{200, -40, 0} << 12 << "" << -1;
        QTest::addRow("untimed from 0") << thirty << NowShowing::LyricsTiming{0, 0, 0} << 34 << "" << 13;
        QTest::addRow("untimed from 13") << thirty << NowShowing::LyricsTiming{0, 0, 13} << 21 << "line 10" << 26;
        QTest::addRow("untimed from 26") << thirty << NowShowing::LyricsTiming{0, 0, 26} << 8 << "line 23" << 39;
        QTest::addRow("untimed past the end") << thirty << NowShowing::LyricsTiming{0, 0, 39} << 34 << "" << 13;
        QTest::addRow("only blank lines") << LyricsAnswer{LyricsAnswer::State::Lines, {"", ""}, 0}
                                          << NowShowing::LyricsTiming{0, 0, 5} << 0 << "" << -1;
        QTest::addRow("none") << LyricsAnswer::none() << NowShowing::LyricsTiming{200, 100, 0} << 0 << "" << -1;
    }
    void lyricWindow()
    {
        QFETCH(LyricsAnswer, answer);
        QFETCH(NowShowing::LyricsTiming, timing);
        QFETCH(int, length);
        QFETCH(QString, first);
        QFETCH(int, nextReading);
        LyricsStage l;
        l.words.answers.insert(QStringLiteral("Song"), answer);
        l.stage.layout(ThemeId::Lyrics, showingTrack(QStringLiteral("Song"), timing.duration, timing.position,
                                                     timing.readingPosition));
        QCOMPARE(l.window().size(), length);
        QCOMPARE(l.window().value(0), first);
        QCOMPARE(l.stage.lyricsReadingPosition().value_or(-1), nextReading);
    }

    // "Not yet" leaves the slots empty; the next layout takes the answer for
    // its own track, never one for a track that went before.
    void lyricAnswersAfterTheLayout()
    {
        LyricsStage l;
        l.stage.layout(ThemeId::Lyrics, showingTrack(QStringLiteral("First"), 200, 0));
        QVERIFY(l.window().isEmpty());
        l.light(5);
        QVERIFY(l.stage.lyricLines()->shownLayers().isEmpty() || l.stage.lyricLines()->shownLayers()[0]->contents().isNull());

        l.words.answers.insert(QStringLiteral("First"), numberedLines(3));
        l.stage.layout(ThemeId::Lyrics, showingTrack(QStringLiteral("First"), 200, 0));
        QCOMPARE(l.window().size(), 7);
        QCOMPARE(l.window().last(), QStringLiteral("line 3"));

        l.stage.layout(ThemeId::Lyrics, showingTrack(QStringLiteral("Second"), 200, 0));
        QVERIFY(l.window().isEmpty());
    }

    // Slot 45 over ten lines wraps past three rounds to line 0; the state
    // report names it; its line is drawn in its box, the rest stays black.
    void litSlotsAndState()
    {
        LyricsStage l;
        ::srandom(3);
        l.words.answers.insert(QStringLiteral("Song"), numberedLines(30));
        l.stage.layout(ThemeId::Lyrics, showingTrack(QStringLiteral("Song"), 0, 0, 24));
        QCOMPARE(l.window().size(), 10);
        l.light(45);

        QJsonObject state;
        l.stage.describe(state);
        const QJsonObject lyrics = state.value(QStringLiteral("lyrics")).toObject();
        QCOMPARE(lyrics.value(QStringLiteral("windowLength")).toInt(), 10);
        QCOMPARE(lyrics.value(QStringLiteral("firstLine")).toString(), QStringLiteral("line 21"));
        const QJsonArray lit = lyrics.value(QStringLiteral("lit")).toArray();
        QCOMPARE(lit.size(), 1);
        QCOMPARE(lit[0].toObject().value(QStringLiteral("slot")).toInt(), 45);
        QCOMPARE(lit[0].toObject().value(QStringLiteral("line")).toInt(), 0);
        QCOMPARE(lit[0].toObject().value(QStringLiteral("text")).toString(), QStringLiteral("line 21"));
        QVERIFY(std::abs(lit[0].toObject().value(QStringLiteral("alpha")).toDouble() - 0.6) < 1e-4);

        QImage frame(l.size.toSize(), QImage::Format_ARGB32_Premultiplied);
        l.stage.renderDamage(frame, true);
        keep(frame, QStringLiteral("lyrics-slot45"));
        const QRectF area = l.stage.lyricLines()->frame();
        const QRect box = inPicture(l.stage.tiles()[45].frame.translated(area.topLeft()), l.size.height());
        const QRect drawn = boundsWhere(frame, [](QRgb p) { return qGray(p) > 60; }, inPicture(area, l.size.height()));
        QVERIFY(!drawn.isEmpty());
        QVERIFY2(box.contains(drawn), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(drawn.x()).arg(drawn.y())
                                                     .arg(drawn.width()).arg(drawn.height())));
    }

    // Where the slots go: on the far side of the cover, counters 60 frames
    // apart, the first draws kept 2 F from the three before; a line of any
    // length stays in its box.
    void lyricSlotsAndLongLines()
    {
        LyricsStage l;
        ::srandom(11);
        const QString endless = QStringLiteral("la ").repeated(40000);
        l.words.answers.insert(QStringLiteral("Song"), {LyricsAnswer::State::Lines, {endless}, 1});
        l.stage.layout(ThemeId::Lyrics, showingTrack(QStringLiteral("Song"), 200, 0));
        const StageGeometry &g = l.stage.geometry();
        const QRectF area = l.stage.lyricLines()->frame();
        const QRectF cover = g.coverViewRect;
        QVERIFY(g.alignment == 1 ? area.left() >= cover.right() : area.right() <= cover.left());
        QCOMPARE(g.labelRect, QRectF(cover.x(), 0, g.imagesize, cover.y() - 1.2 * g.fontsize));

        const std::vector<StageTile> &slots = l.stage.tiles();
        const double F = g.fontsize;
        for (size_t i = 0; i < slots.size(); ++i) {
            QCOMPARE(slots[i].counter, -60.0f * float(i));
            QVERIFY(within(slots[i].frame, QRectF(0, 0, area.width(), area.height())));
            QCOMPARE(slots[i].frame.height(), 5 * F);
            for (size_t back = 1; i < 6 && back <= 3 && back <= i; ++back)
                QVERIFY(std::abs(slots[i].frame.y() - slots[i - back].frame.y()) >= 2 * F);
        }

        l.light(4); // the first line after the four blanks
        const QList<Layer *> &layers = l.stage.lyricLines()->shownLayers();
        QCOMPARE(layers.size(), 1);
        const QImage &line = layers[0]->contents();
        QVERIFY(!line.isNull());
        QVERIFY(line.height() <= std::ceil(5 * F) && line.width() <= std::ceil(slots[4].frame.width()));
    }
};

QTEST_MAIN(TestTiledThemes)
#include "tst_tiledthemes.moc"
