// The Text, Mosaic and Lyrics themes on the real stage: where their layouts
// put things, what the mosaic and lyric views draw, and the lyric window.
// Set COVERLUME_SAMPLE_DIR to keep the pictures for a look.

#include "core/ThemeSettings.h"
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

using namespace Pixels;
using Timing = NowShowing::LyricsTiming;

Q_DECLARE_METATYPE(LyricsAnswer)
Q_DECLARE_METATYPE(Timing)

namespace {

const QColor kArtwork(200, 40, 40);
const QImage kCover = solid(kArtwork, QSize(32, 32));

QString artworkFile()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cover.png"));
    if (!QFile::exists(path))
        kCover.save(path);
    return path;
}

QVariantMap mosaicSettings(const QVariantMap &own)
{
    return withTheme(2, {{QStringLiteral("mosaicSettings"), own}});
}

// Words the test sets for one title; any other title is "not yet".
class FakeLyrics final : public LyricsSource
{
public:
    QString title;
    LyricsAnswer answer;
    LyricsAnswer lyricsFor(const QString &asked, const QString &, PlayerId) override
    {
        return asked == title ? answer : LyricsAnswer::notYet();
    }
};

LyricsAnswer numberedLines(int count)
{
    LyricsAnswer answer{LyricsAnswer::State::Lines, {}, count};
    for (int i = 1; i <= count; ++i)
        answer.lines << QStringLiteral("line %1").arg(i);
    return answer;
}

// The Lyrics theme's stage on a view's services, with words of the test's own.
struct LyricsStage
{
    ViewHarness v{withTheme(6)};
    ThemeSettings themes{*v.defaults};
    ViewMarks marks;
    QSizeF size{1280, 800};
    FakeLyrics words;
    StageContext context{*v.defaults, themes, v.clock, v.distributed, v.host, marks, size, &words};
    RenderStage stage{context};

    LyricsStage(const LyricsAnswer &answer, const QString &title = QStringLiteral("Song"))
    {
        words.title = title;
        words.answer = answer;
        stage.setUpViews();
        stage.relativeSizes();
        stage.addSubViews(NowShowing());
    }
    void layOut(const Timing &timing)
    {
        NowShowing showing;
        showing.player = PlayerId::ITunes;
        showing.track = AttributedString(QStringLiteral("Song"));
        showing.lyricsTiming = timing;
        stage.layout(ThemeId::Lyrics, showing);
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
        s.stage->sync(ProgressSnapshot{true, 200, 100});
        const StageGeometry &g = s.stage->geometry();
        const double S = g.imagesize, W = size.width();
        QCOMPARE(g.labelRect.size(), QSizeF(1.5 * S, S));
        QVERIFY(g.labelRect.left() >= 2 * g.margin - 1e-3 && g.labelRect.left() <= W - 1.5 * S + 1e-3);
        QCOMPARE(g.alignment, g.labelRect.center().x() > 0.5 * W ? 1 : 0);

        // The bar spans the box; the text keeps to its side towards the middle.
        const QImage picture = s.snapshot(QStringLiteral("text-%1").arg(seed));
        const QRect box = s.inPicture(g.labelRect);
        const QRect bar = boundsWhere(picture, [](QRgb p) { return qGray(p) > 60; }, s.inPicture(g.progressRect));
        QVERIFY(std::abs(bar.left() - box.left()) <= 2 && std::abs(bar.right() - box.right()) <= 2);
        const QRect text = boundsWhere(picture, [](QRgb p) { return qGray(p) > 100; }, box);
        QVERIFY(!text.isEmpty());
        QVERIFY((g.alignment == 1 ? text.left() - box.left() : box.right() - text.right()) <= g.fontsize);
    }

    // Tile i is due i × d frames after the layout (sizes that would give
    // d < 1 space them as the default size does), on the mosaic's side of
    // the square, within the view even on a narrow screen.
    void mosaicLayout_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<int>("seed");
        const QString imageSize = QStringLiteral("imageSize");
        for (int seed : {1, 2, 3})
            QTest::addRow("registered 1.2, seed %d", seed) << withTheme(2) << QSizeF(1280, 800) << 23 << seed;
        QTest::addRow("1.0") << mosaicSettings({{imageSize, 1.0}}) << QSizeF(1280, 800) << 18 << 1;
        QTest::addRow("1.8") << mosaicSettings({{imageSize, 1.8}}) << QSizeF(1280, 800) << 38 << 1;
        QTest::addRow("0.2 gives d < 1") << mosaicSettings({{imageSize, 0.2}}) << QSizeF(1280, 800) << 23 << 1;
        QTest::addRow("no imageSize") << mosaicSettings({{QStringLiteral("showTime"), 1}}) << QSizeF(1280, 800) << 23 << 1;
        QTest::addRow("narrow 700x1000") << withTheme(2) << QSizeF(700, 1000) << 23 << 1;
    }
    void mosaicLayout()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(QSizeF, size);
        QFETCH(int, spacing);
        QFETCH(int, seed);
        RenderedView s(oneTrack(), settings, size);
        ::srandom(seed);
        s.layOut(ThemeId::Mosaic, kCover);
        const StageGeometry &g = s.stage->geometry();
        const QRectF area = s.stage->mosaic()->frame();
        const double x = g.randomPoint.x(), S = g.imagesize;
        QVERIFY(g.alignment == 1 ? area.right() <= x + S : area.left() >= x);
        const std::vector<StageTile> &tiles = s.stage->tiles();
        QCOMPARE(tiles.size(), size_t(70));
        for (size_t i = 0; i < tiles.size(); ++i) {
            QCOMPARE(tiles[i].counter, -float(i) * float(spacing));
            const QRectF frame = tiles[i].frame.translated(area.topLeft());
            QVERIFY(frame.width() == S && frame.left() >= 0 && frame.bottom() <= size.height() + 1e-3);
            QVERIFY(g.alignment == 1 ? frame.right() <= std::max(area.right() - S / 4, S) + 1e-3
                                     : frame.left() >= area.left() + S / 4 - 1e-3);
        }
    }

    // Alpha over a tile's age, times the fade; only showing tiles have a layer.
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
        s.layOut(ThemeId::Mosaic, kCover);
        std::vector<StageTile> &tiles = s.stage->layoutTiles();
        for (StageTile &tile : tiles)
            tile.counter = -1;
        tiles[0].counter = counter;
        s.stage->setMosaicTransparency(fade);
        const QRectF area = s.stage->mosaic()->frame();
        const QRect tile = s.inPicture(tiles[0].frame.translated(area.topLeft()));
        const int red = qRed(s.snapshot().pixel(tile.center()));
        QVERIFY2(std::abs(red - alpha * kArtwork.red()) <= 2, qPrintable(QString::number(red)));
        QCOMPARE(s.stage->mosaic()->shownLayers().size(), alpha > 0 ? 1 : 0);
    }

    // Later tiles over earlier ones, whichever showed first; hold frames
    // redraw only where tiles are or were.
    void mosaicOrderAndHoldDamage()
    {
        RenderedView s(oneTrack(600, artworkFile()), mosaicSettings({{QStringLiteral("showProgress"), false}}),
                       QSizeF(640, 400));
        s.start();
        s.layOut(ThemeId::Mosaic, kCover);
        CompositeMosaicView &mosaic = *s.stage->mosaic();
        s.stage->layoutTiles()[2].counter = 10;
        s.stage->setMosaicTransparency(1.0f);
        s.stage->layoutTiles()[0].counter = 10;
        s.stage->setMosaicTransparency(1.0f);
        QCOMPARE(mosaic.shownLayers().size(), 2);
        QCOMPARE(mosaic.shownLayers()[1]->name(), QStringLiteral("tile 2"));

        auto tileRects = [&] {
            QRegion shown;
            for (const Layer *tile : mosaic.shownLayers())
                shown += s.inPicture(tile->frame().translated(mosaic.frame().topLeft())).adjusted(-1, -1, 1, 1);
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

    // The lyric window from the words, the timing and the reading position,
    // and the line slot 45 shows (past the end the slots start over, at most
    // three times, then line 0).
    void lyricWindow_data()
    {
        QTest::addColumn<LyricsAnswer>("answer");
        QTest::addColumn<QString>("answeredFor");
        QTest::addColumn<Timing>("timing");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("nextReading"); // −1: none
        QTest::addColumn<QString>("slot45");
        const LyricsAnswer eight = numberedLines(8), thirty = numberedLines(30);
        const QString song = QStringLiteral("Song");
        QTest::addRow("8 lines at 100 s of 200 s") << eight << song << Timing{200, 100, 0} << 6 << "line 3" << -1 << "line 3";
        QTest::addRow("at 0 s: the blanks first") << eight << song << Timing{200, 0, 0} << 12 << "" << -1 << "line 6";
        QTest::addRow("250 s of 200 s") << eight << song << Timing{200, 250, 0} << 0 << "" << -1 << "";
        QTest::addRow("position below 0") << eight << song << Timing{200, -40, 0} << 12 << "" << -1 << "line 6";
        QTest::addRow("untimed from 0") << thirty << song << Timing{0, 0, 0} << 34 << "" << 13 << "line 8";
        QTest::addRow("untimed from 13") << thirty << song << Timing{0, 0, 13} << 21 << "line 10" << 26 << "line 13";
        QTest::addRow("untimed from 24: 10 lines") << thirty << song << Timing{0, 0, 24} << 10 << "line 21" << 37
                                                   << "line 21";
        QTest::addRow("untimed from 26") << thirty << song << Timing{0, 0, 26} << 8 << "line 23" << 39 << "line 23";
        QTest::addRow("untimed past the end") << thirty << song << Timing{0, 0, 39} << 34 << "" << 13 << "line 8";
        QTest::addRow("only blank lines") << LyricsAnswer{LyricsAnswer::State::Lines, {"", ""}, 0} << song
                                          << Timing{0, 0, 5} << 0 << "" << -1 << "";
        QTest::addRow("none") << LyricsAnswer::none() << song << Timing{200, 100, 0} << 0 << "" << -1 << "";
        QTest::addRow("not yet") << LyricsAnswer::notYet() << song << Timing{0, 0, 0} << 0 << "" << -1 << "";
        QTest::addRow("words for the track before") << eight << "Before" << Timing{200, 0, 0} << 0 << "" << -1 << "";
    }
    void lyricWindow()
    {
        QFETCH(LyricsAnswer, answer);
        QFETCH(QString, answeredFor);
        QFETCH(Timing, timing);
        QFETCH(int, length);
        QFETCH(QString, first);
        QFETCH(int, nextReading);
        QFETCH(QString, slot45);
        LyricsStage l(answer, answeredFor);
        l.layOut(timing);
        QCOMPARE(l.window().size(), length);
        QCOMPARE(l.window().value(0), first);
        QCOMPARE(l.stage.lyricsReadingPosition().value_or(-1), nextReading);
        l.light(45);
        QCOMPARE(l.stage.lyricLines()->litSlots().value(0).text, slot45);
    }

    // Timed lines: the window starts at the line sung 10 s before the
    // position (ms when known, plus the offset), each slot's counter at 200
    // when its line is sung; slots past the last line stay dark.
    void syncedSlotCounters_data()
    {
        QTest::addColumn<Timing>("timing");
        QTest::addColumn<QVariant>("offset");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QList<float>>("counters"); // the first slots'
        Timing at20{200, 3, 0};
        at20.positionMs = 20000;
        Timing seconds20{200, 20, 0};
        Timing early{200, 3, 0};
        early.positionMs = 19500;
        Timing start{200, 0, 0};
        start.positionMs = 0;
        Timing end{200, 199, 0};
        end.positionMs = 100000;
        Timing untimed = at20;
        untimed.duration = 0;
        QTest::addRow("at 20 s") << at20 << QVariant() << "t10" << QList<float>{400, 300, 200, 100};
        QTest::addRow("whole seconds") << seconds20 << QVariant() << "t10" << QList<float>{400, 300, 200, 100};
        QTest::addRow("offset 500 ms") << early << QVariant(500) << "t10" << QList<float>{400, 300, 200, 100};
        QTest::addRow("offset clamped to 10 s") << Timing{200, 10, 0} << QVariant(99999) << "t10"
                                                << QList<float>{400, 300, 200, 100};
        QTest::addRow("start: no blank head") << start << QVariant() << "t0" << QList<float>{200, 100, 0, -100};
        QTest::addRow("past the last line") << end << QVariant() << "t45" << QList<float>{1300, -1e9f};
        QTest::addRow("no duration: as before") << untimed << QVariant() << "" << QList<float>{0, -60, -120, -180};
    }
    void syncedSlotCounters()
    {
        QFETCH(Timing, timing);
        QFETCH(QVariant, offset);
        QFETCH(QString, first);
        QFETCH(QList<float>, counters);
        LyricsAnswer answer = numberedLines(10);
        for (int i = 0; i < 10; ++i) {
            answer.syncedLines << QStringLiteral("t%1").arg(5 * i);
            answer.syncedTimesMs << 5000 * i;
        }
        LyricsStage l(answer);
        if (offset.isValid())
            l.v.defaults->set(QStringLiteral("lyricsOffsetMs"), offset);
        l.layOut(timing);
        QCOMPARE(l.window().value(0), first);
        for (qsizetype i = 0; i < counters.size(); ++i)
            QCOMPARE(l.stage.tiles()[size_t(i)].counter, counters[i]);
    }

    // The slots lie on the far side of the cover, due 60 frames apart, the
    // first ones 2 F from the three before. A line of any length is cut and
    // keeps to its box; the state report names what shows.
    void lyricSlotsAndState()
    {
        const QString endless = QStringLiteral("la ").repeated(40000);
        LyricsStage l({LyricsAnswer::State::Lines, {endless}, 1});
        ::srandom(11);
        l.layOut({200, 0, 0});
        const StageGeometry &g = l.stage.geometry();
        const QRectF area = l.stage.lyricLines()->frame(), cover = g.coverViewRect;
        const double F = g.fontsize;
        QVERIFY(g.alignment == 1 ? area.left() >= cover.right() : area.right() <= cover.left());
        QCOMPARE(g.labelRect, QRectF(cover.x(), 0, g.imagesize, cover.y() - 1.2 * F));
        const std::vector<StageTile> &slots = l.stage.tiles();
        for (size_t i = 0; i < slots.size(); ++i) {
            QCOMPARE(slots[i].counter, -60.0f * float(i));
            QVERIFY(QRectF(QPointF(0, 0), area.size()).contains(slots[i].frame.adjusted(1e-3, 1e-3, -1e-3, -1e-3)));
            QCOMPARE(slots[i].frame.height(), 5 * F);
            for (size_t back = 1; i < 6 && back <= 3 && back <= i; ++back)
                QVERIFY(std::abs(slots[i].frame.y() - slots[i - back].frame.y()) >= 2 * F);
        }

        l.light(4); // the first line after the four blanks
        QJsonObject state;
        l.stage.describe(state);
        const QJsonObject lit{{"slot", 4}, {"line", 4}, {"text", endless.left(4096)}, {"alpha", double(0.6f)}};
        QCOMPARE(state.value("lyrics").toObject(),
                 QJsonObject({{"windowLength", 5}, {"firstLine", ""}, {"lit", QJsonArray{lit}}}));
        QImage frame(l.size.toSize(), QImage::Format_ARGB32_Premultiplied);
        l.stage.renderDamage(frame, true);
        keep(frame, QStringLiteral("lyrics-long-line"));
        const QRect box = inPicture(slots[4].frame.translated(area.topLeft()), l.size.height());
        const QRect drawn = boundsWhere(frame, [](QRgb p) { return qGray(p) > 60; }, inPicture(area, l.size.height()));
        QVERIFY(!drawn.isEmpty() && box.contains(drawn));
    }
};

QTEST_MAIN(TestTiledThemes)
#include "tst_tiledthemes.moc"
