// The theme stage on a real view and engine: where the Classic, Apple TV and
// Cover Only layouts put their views, and what the composited picture shows.
// Set COVERLUME_SAMPLE_DIR to keep the pictures for a look.

#include "RenderPixels.h"

#include "render/CLProgressIndicator.h"
#include "render/ClockField.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"
#include "render/StageImages.h"
#include "support/EngineHarness.h"

#include <QBuffer>
#include <QDir>
#include <QTest>
#include <cmath>

using namespace RenderPixels;

namespace {

QByteArray oneTrack()
{
    return R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
        {"name": "Alpha", "artist": "Band A", "album": "Album A", "duration": 600}]}]})";
}

const QColor kArtwork(200, 40, 40);

// A view of the given size on the simulated players, drawn by a RenderStage.
struct Stage
{
    EngineHarness h;
    RenderStage *stage = nullptr;

    Stage(const QSizeF &size, const QVariantMap &settings)
        : h(oneTrack(), settings)
    {
        stage = h.makeRenderedView(size);
    }

    // Lays the theme out with this artwork and shows every view at full opacity.
    void layOut(ThemeId theme, const QImage &artwork = solid(kArtwork, QSize(64, 64)))
    {
        // As a cycle starts: the engine reads the source, then the theme lays out.
        h.engine().refresh(theme);
        h.view->setArtworkImage(artwork);
        stage->layout(theme);
        showAll();
    }
    void showAll()
    {
        for (auto layer : {ThemeStage::Layer::Label, ThemeStage::Layer::Cover, ThemeStage::Layer::Reflection})
            stage->setLayerOpacity(layer, 1.0f);
        stage->setProgressTransparency(1.0f);
    }
    QImage picture(const char *name) const
    {
        const QImage image = h.view->snapshot(h.view->frameSize().toSize());
        if (const QByteArray dir = qgetenv("COVERLUME_SAMPLE_DIR"); !dir.isEmpty())
            image.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png"));
        return image;
    }
    // A rectangle of the view (y up) in the picture's rows (y down).
    QRect inPicture(const QRectF &rect) const
    {
        const double H = h.view->frameSize().height();
        return QRectF(rect.x(), H - rect.y() - rect.height(), rect.width(), rect.height()).toAlignedRect();
    }
};

bool isArtwork(QRgb p)
{
    return qRed(p) > 150 && qGreen(p) < 80 && qBlue(p) < 80;
}

// The run of artwork-coloured rows in column x: first and last.
QPair<int, int> artworkRows(const QImage &image, int x)
{
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        if (isArtwork(image.pixel(x, y))) {
            if (first < 0)
                first = y;
            last = y;
        }
    return {first, last};
}

double meanRed(const QImage &image, const QRect &rect)
{
    const QRect area = rect & image.rect();
    double sum = 0;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x, ++n)
            sum += qRed(image.pixel(x, y));
    return n ? sum / n : 0;
}

QRect brightIn(const QImage &image, const QRect &area)
{
    QRect bounds;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x)
            if (qGray(image.pixel(x, y)) > 160)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace

class TestRenderStage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(resources); }
    void appleTVGeometryOnRegisteredDefaults();
    void classicCoverTurnsAboutItsOuterEdge_data();
    void classicCoverTurnsAboutItsOuterEdge();
    void labelSitsOnTheTextSide_data();
    void labelSitsOnTheTextSide();
    void coverOnlyShowsNoLabel();
    void progressBarFillsHalfForHalfATrack();
    void clockStandsAtItsHour();
    void coverNotificationCarriesTheDisplayedImage();
    void turnFactorIsClamped();
    void randomPlacementStaysInTheView();
};

void TestRenderStage::appleTVGeometryOnRegisteredDefaults()
{
    Stage s(QSizeF(1600, 900), {{QStringLiteral("theme"), 5}, {QStringLiteral("keepStatic"), true}});
    QCOMPARE(s.stage->imageSizePoints(), float(900 / 2.1 * 1.2f));
    QVERIFY(std::abs(s.stage->imageSizePoints() - 514.29) < 0.01);
    QVERIFY(std::abs(s.stage->fontSizePoints() - 29.01) < 0.01);
    QVERIFY(std::abs(s.stage->geometry().margin - 72) < 0.001);

    s.layOut(ThemeId::AppleTV);
    const StageGeometry &g = s.stage->geometry();
    QCOMPARE(g.alignment, 0);
    QVERIFY(std::abs(g.randomPoint.x() - 800) < 0.01 && std::abs(g.randomPoint.y() - 192.86) < 0.01);

    // The flat cover, square, right of the middle line, centred vertically.
    const QImage picture = s.picture("appletv-1600x900");
    const QRect cover = boundsWhere(picture, isArtwork);
    QVERIFY2(std::abs(cover.left() - 800) <= 1 && std::abs(cover.right() - 1314) <= 1,
             qPrintable(QStringLiteral("%1 %2").arg(cover.left()).arg(cover.right())));
    QVERIFY(std::abs(cover.top() - 193) <= 1 && std::abs(cover.bottom() - 706) <= 1);
    // No reflection: nothing red below the cover.
    QVERIFY(meanRed(picture, QRect(820, 720, 480, 150)) < 1);
    // The title on the left, right-aligned against the label's right edge.
    const QRect text = brightIn(picture, QRect(0, 0, 800, 900));
    QVERIFY(!text.isEmpty());
    QVERIFY2(std::abs(text.right() - (72 + (800 - 2 * 72))) < 12, qPrintable(QString::number(text.right())));
}

void TestRenderStage::classicCoverTurnsAboutItsOuterEdge_data()
{
    QTest::addColumn<bool>("keepStatic");
    QTest::addColumn<int>("alignment");
    QTest::newRow("cover right, text left") << true << 0;
    QTest::newRow("cover left, text right") << false << 1;
}

void TestRenderStage::classicCoverTurnsAboutItsOuterEdge()
{
    QFETCH(bool, keepStatic);
    QFETCH(int, alignment);
    Stage s(QSizeF(1280, 800), {{QStringLiteral("theme"), 0},
                                {QStringLiteral("centred"), true},
                                {QStringLiteral("keepStatic"), keepStatic},
                                {QStringLiteral("3Deffect"), 1.0}});
    s.layOut(ThemeId::Classic);
    if (s.stage->geometry().alignment != alignment)
        s.layOut(ThemeId::Classic); // centred and not static: it flips every layout
    const StageGeometry &g = s.stage->geometry();
    QCOMPARE(g.alignment, alignment);
    const double S = g.imagesize;
    QCOMPARE(g.randomPoint.x(), alignment == 1 ? 640 - S : 640.0);

    const QImage picture = s.picture(alignment ? "classic-turn-left" : "classic-turn-right");
    const QRect cover = s.inPicture(g.coverViewRect);
    // The outer edge keeps its full height; the inner edge, turned away, is shorter.
    const int outer = alignment == 1 ? cover.left() + 2 : cover.right() - 2;
    const auto outerRows = artworkRows(picture, outer);
    QVERIFY2(std::abs(outerRows.first - cover.top()) <= 2 && std::abs(outerRows.second - cover.bottom()) <= 2,
             qPrintable(QStringLiteral("%1-%2 vs %3-%4").arg(outerRows.first).arg(outerRows.second)
                            .arg(cover.top()).arg(cover.bottom())));
    const QRect drawn = boundsWhere(picture, isArtwork);
    const int inner = alignment == 1 ? drawn.right() - 2 : drawn.left() + 2;
    const auto innerRows = artworkRows(picture, inner);
    QVERIFY(innerRows.second - innerRows.first < outerRows.second - outerRows.first - 10);
    // The turned cover is narrower than S, and stays on its own side of the middle.
    QVERIFY(drawn.width() < S - 10);
    QVERIFY(alignment == 1 ? drawn.right() <= 641 : drawn.left() >= 639);

    // Below it the reflection: red near the cover, fading to black further down.
    const int x0 = std::min(outer, inner), x1 = std::max(outer, inner);
    const double near = meanRed(picture, QRect(x0 + 5, outerRows.second + 8, x1 - x0 - 10, 20));
    const double far = meanRed(picture, QRect(x0 + 5, outerRows.second + int(0.8 * S), x1 - x0 - 10, 20));
    QVERIFY2(near > 15 && far < near / 3, qPrintable(QStringLiteral("%1 %2").arg(near).arg(far)));
}

void TestRenderStage::labelSitsOnTheTextSide_data()
{
    classicCoverTurnsAboutItsOuterEdge_data();
}

void TestRenderStage::labelSitsOnTheTextSide()
{
    QFETCH(bool, keepStatic);
    QFETCH(int, alignment);
    Stage s(QSizeF(1280, 800), {{QStringLiteral("theme"), 0},
                                {QStringLiteral("centred"), true},
                                {QStringLiteral("keepStatic"), keepStatic},
                                {QStringLiteral("3Deffect"), 0.0}});
    s.layOut(ThemeId::Classic);
    QVERIFY(s.h.state().track.trackString.has_value());
    if (s.stage->geometry().alignment != alignment)
        s.layOut(ThemeId::Classic);
    const StageGeometry &g = s.stage->geometry();
    QCOMPARE(g.alignment, alignment);
    // E = 0: the label starts M beside the cover and is S − F high.
    QVERIFY(std::abs(g.labelRect.height() - (g.imagesize - g.fontsize)) < 0.01);

    const QImage picture = s.picture(alignment ? "classic-label-right" : "classic-label-left");
    const QRect label = s.inPicture(g.labelRect);
    const QRect text = brightIn(picture, label);
    QVERIFY(!text.isEmpty());
    // Left-aligned beside a cover on the left, right-aligned beside one on the right.
    if (alignment == 1)
        QVERIFY2(text.left() - label.left() < 6, qPrintable(QString::number(text.left() - label.left())));
    else
        QVERIFY2(label.right() - text.right() < 16, qPrintable(QString::number(label.right() - text.right())));
    // Nothing bright on the cover's side of the middle outside the cover.
    const QRect otherSide = alignment == 1 ? QRect(0, 0, int(g.randomPoint.x()) - 2, 800)
                                           : QRect(int(g.randomPoint.x() + g.imagesize) + 2, 0, 300, 800);
    QVERIFY(brightIn(picture, otherSide).isEmpty());
}

void TestRenderStage::coverOnlyShowsNoLabel()
{
    Stage s(QSizeF(1280, 800), {{QStringLiteral("theme"), 8}, {QStringLiteral("3Deffect"), 0.5}});
    s.layOut(ThemeId::CoverOnly);
    const StageGeometry &g = s.stage->geometry();
    QCOMPARE(g.coverViewAnchor.y(), 1.4);
    QVERIFY(!s.stage->labelView()->superlayer());
    QVERIFY(!s.stage->progressIndicator()->superlayer());
    const QImage picture = s.picture("coveronly");
    QVERIFY(brightIn(picture, QRect(0, 0, 1280, 800)).isEmpty()); // no white text anywhere
    QVERIFY(!boundsWhere(picture, isArtwork).isEmpty());
}

void TestRenderStage::progressBarFillsHalfForHalfATrack()
{
    Stage s(QSizeF(1280, 800), {{QStringLiteral("theme"), 5}, {QStringLiteral("keepStatic"), true}});
    s.layOut(ThemeId::AppleTV);
    ProgressModel &progress = s.h.state().progress;
    progress.maximum = 200;
    progress.value = 100;
    progress.hidden = false;
    progress.needsDisplay = true;
    const QImage picture = s.picture("progress-half");
    const QRect bar = s.inPicture(s.stage->geometry().progressRect);
    QVERIFY(s.stage->progressIndicator()->hasSomethingToDraw());
    // The brightest column run: the fill covers about the left half of the bar.
    int lastBright = -1;
    for (int x = bar.left(); x <= bar.right(); ++x)
        for (int y = bar.top(); y <= bar.bottom(); ++y)
            if (qGray(picture.pixel(x, y)) > 180)
                lastBright = std::max(lastBright, x);
    const double filled = double(lastBright - bar.left()) / bar.width();
    QVERIFY2(filled > 0.4 && filled < 0.6, qPrintable(QString::number(filled)));
}

void TestRenderStage::clockStandsAtItsHour()
{
    Stage s(QSizeF(1200, 800), {{QStringLiteral("theme"), 0}, {QStringLiteral("showClock"), true}});
    s.h.host.fullScreen = true;
    s.h.clock = FrameClock(QDateTime(QDate(2026, 12, 6), QTime(15, 30), Qt::UTC));
    s.stage->placeClock(FrameCycle::positionOfClock(QSizeF(1200, 800), s.h.clock.now().time()));
    ClockField *clock = s.stage->clockField();
    QVERIFY(clock);
    QCOMPARE(clock->superlayer(), &s.stage->tree().root()); // on top, in the view itself
    QCOMPARE(s.stage->tree().root().sublayers().last(), clock);
    const QImage picture = s.picture("clock-1530");
    // 105°: right of centre, a little below the middle.
    const QRect digits = brightIn(picture, QRect(0, 0, 1200, 800));
    QVERIFY(!digits.isEmpty());
    const QPointF centre = QRectF(digits).center();
    const double angle = std::atan2(centre.x() - 600, -(centre.y() - 400)) * 180 / M_PI;
    QVERIFY2(centre.x() > 900 && centre.y() > 400 && std::abs(angle - 105) < 12,
             qPrintable(QStringLiteral("%1,%2 %3").arg(centre.x()).arg(centre.y()).arg(angle)));
}

void TestRenderStage::coverNotificationCarriesTheDisplayedImage()
{
    Stage s(QSizeF(1280, 800), {{QStringLiteral("theme"), 0}});
    QList<QVariantMap> posted;
    s.h.distributed.addObserver(this, QStringLiteral("CoverlumeAlbumCoverChanged"),
                                [&](const Notification &n) { posted << n.userInfo; });
    s.layOut(ThemeId::Classic, solid(kArtwork, QSize(1500, 1500)));
    s.layOut(ThemeId::Classic, solid(kArtwork, QSize(1500, 1500)));
    s.h.distributed.removeObserver(this);
    QCOMPARE(posted.size(), 2); // every layout, not only on a change
    const QImage cover = QImage::fromData(posted.first().value(QStringLiteral("cover")).toByteArray(), "TIFF");
    const int S = int(std::ceil(s.stage->imageSizePoints()));
    QCOMPARE(cover.size(), QSize(S, S));
    QVERIFY(near(cover.pixel(S / 2, S / 2), kArtwork, 2));

    // The stage keeps what it built for a picture it already shows; another
    // picture of the same size must not be mistaken for it.
    const QColor green(40, 180, 60);
    s.layOut(ThemeId::Classic, solid(green, QSize(1500, 1500)));
    QCOMPARE(posted.size(), 2); // the observer was removed above
    s.h.distributed.addObserver(this, QStringLiteral("CoverlumeAlbumCoverChanged"),
                                [&](const Notification &n) { posted << n.userInfo; });
    s.layOut(ThemeId::Classic, solid(green, QSize(1500, 1500)));
    s.h.distributed.removeObserver(this);
    QCOMPARE(posted.size(), 3);
    const QImage greenCover = QImage::fromData(posted.last().value(QStringLiteral("cover")).toByteArray(), "TIFF");
    QVERIFY(near(greenCover.pixel(S / 2, S / 2), green, 2));
    const QImage picture = s.picture("classic-green");
    const QRect coverRect = s.inPicture(s.stage->geometry().coverViewRect);
    QVERIFY(near(picture.pixel(coverRect.center()), green, 24));
    posted.removeLast();

    // No artwork: nothing posted.
    s.h.distributed.addObserver(this, QStringLiteral("CoverlumeAlbumCoverChanged"),
                                [&](const Notification &n) { posted << n.userInfo; });
    s.layOut(ThemeId::Classic, QImage());
    s.h.distributed.removeObserver(this);
    QCOMPARE(posted.size(), 2);
}

void TestRenderStage::turnFactorIsClamped()
{
    Stage s(QSizeF(1000, 600), {{QStringLiteral("theme"), 0}, {QStringLiteral("3Deffect"), 6.0}});
    QCOMPARE(s.stage->effect(), 1.0f);
    // F shrinks by a fifth at most, never below zero.
    QVERIFY(std::abs(s.stage->fontSizePoints() - float(600 / 35.0 * 1.2 * 0.8)) < 0.01);
    s.layOut(ThemeId::Classic);
    QVERIFY(s.stage->geometry().labelRect.height() > 0);
}

void TestRenderStage::randomPlacementStaysInTheView()
{
    Stage s(QSizeF(1280, 800), {{QStringLiteral("theme"), 0}});
    ::srandom(7);
    for (int i = 0; i < 20; ++i) {
        s.layOut(ThemeId::Classic);
        const StageGeometry &g = s.stage->geometry();
        QVERIFY(g.randomPoint.x() >= 0 && g.randomPoint.x() <= 1280 - g.imagesize);
        QVERIFY(g.randomPoint.y() >= 0 && g.randomPoint.y() <= 800 - g.imagesize);
        QCOMPARE(g.alignment, g.randomPoint.x() + 0.5 * g.imagesize <= 640 ? 1 : 0);
    }
}

QTEST_MAIN(TestRenderStage)
#include "tst_renderstage.moc"
