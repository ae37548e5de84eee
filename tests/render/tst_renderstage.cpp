// The theme stage on a real view: its layouts, pictures and retained frames.
// Set COVERLUME_SAMPLE_DIR to keep the pictures for a look.

#include "render/CLProgressIndicator.h"
#include "render/ClockField.h"
#include "render/Compositor.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"
#include "support/EngineHarness.h"
#include "support/Pixels.h"
#include "support/ViewHarness.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace Pixels;

namespace {

const QColor kArtwork(200, 40, 40);

QImage artwork(QColor colour = kArtwork, int side = 64)
{
    return solid(colour, QSize(side, side));
}

const auto isArtwork = [](QRgb p) { return qRed(p) > 150 && qGreen(p) < 80 && qBlue(p) < 80; };
const auto isBright = [](QRgb p) { return qGray(p) > 160; };

double meanRed(const QImage &image, const QRect &rect)
{
    const QRect area = rect & image.rect();
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += qRed(image.pixel(x, y));
    return area.isEmpty() ? 0 : sum / (area.width() * area.height());
}

// How far along the bar its bright fill reaches, 0 … 1.
double filledFraction(const QImage &picture, const QRect &bar)
{
    const QRect fill = boundsWhere(picture, [](QRgb p) { return qGray(p) > 180; }, bar);
    return double(fill.right() - bar.left()) / bar.width();
}

// A red cover the simulated player hands out, in a directory of the test's own.
QString artworkFile()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cover.png"));
    if (!QFile::exists(path))
        artwork(kArtwork, 256).save(path);
    return path;
}

} // namespace

class TestRenderStage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void appleTVGeometryOnRegisteredDefaults()
    {
        RenderedView s(oneTrack(), withTheme(5, {{QStringLiteral("keepStatic"), true}}), QSizeF(1600, 900));
        QCOMPARE(s.stage->imageSizePoints(), float(900 / 2.1 * 1.2f));
        QVERIFY(std::abs(s.stage->fontSizePoints() - 29.01) < 0.01);
        QVERIFY(std::abs(s.stage->geometry().margin - 72) < 0.001);
        s.layOut(ThemeId::AppleTV, artwork());
        QCOMPARE(s.stage->geometry().alignment, 0);

        // The flat cover, square, right of the middle line, centred vertically.
        const QImage picture = s.snapshot(QStringLiteral("appletv-1600x900"));
        const QRect cover = boundsWhere(picture, isArtwork);
        QVERIFY2(std::abs(cover.left() - 800) <= 1 && std::abs(cover.right() - 1314) <= 1, qPrintable(QString::number(cover.left())));
        QVERIFY(std::abs(cover.top() - 193) <= 1 && std::abs(cover.bottom() - 706) <= 1);
        QVERIFY(meanRed(picture, QRect(820, 720, 480, 150)) < 1); // no reflection
        // The title on the left, right-aligned against the label's right edge.
        const QRect text = boundsWhere(picture, isBright, QRect(0, 0, 800, 900));
        QVERIFY2(std::abs(text.right() - (800 - 72)) < 12, qPrintable(QString::number(text.right())));
    }

    void classicCoverTurnsAboutItsOuterEdgeBesideItsLabel()
    {
        // keepStatic keeps the cover right (alignment 0); else it alternates.
        for (const int alignment : {0, 1}) {
            RenderedView s(oneTrack(), withTheme(0, {{QStringLiteral("centred"), true},
                                                    {QStringLiteral("keepStatic"), alignment == 0},
                                                    {QStringLiteral("3Deffect"), 1.0}}));
            s.layOut(ThemeId::Classic, artwork());
            if (s.stage->geometry().alignment != alignment)
                s.layOut(ThemeId::Classic, artwork());
            const StageGeometry &g = s.stage->geometry();
            QCOMPARE(g.alignment, alignment);
            const double S = g.imagesize;
            QCOMPARE(g.randomPoint.x(), alignment == 1 ? 640 - S : 640.0);
            const QImage picture = s.snapshot(QStringLiteral("classic-%1").arg(alignment));
            const QRect cover = s.inPicture(g.coverViewRect);
            // The outer edge keeps its full height; the inner edge, turned away, is shorter.
            const auto outer = columnExtent(picture, alignment == 1 ? cover.left() + 2 : cover.right() - 2, isArtwork);
            QVERIFY(std::abs(outer.first - cover.top()) <= 2 && std::abs(outer.second - cover.bottom()) <= 2);
            const QRect drawn = boundsWhere(picture, isArtwork);
            const auto inner = columnExtent(picture, alignment == 1 ? drawn.right() - 2 : drawn.left() + 2, isArtwork);
            QVERIFY(inner.second - inner.first < outer.second - outer.first - 10);
            QVERIFY(drawn.width() < S - 10);
            QVERIFY(alignment == 1 ? drawn.right() <= 641 : drawn.left() >= 639);
            // Below it the reflection: red near the cover, fading to black further down.
            const double nearby = meanRed(picture, QRect(drawn.left() + 5, outer.second + 8, drawn.width() - 10, 20));
            const double far = meanRed(picture, QRect(drawn.left() + 5, outer.second + int(0.8 * S), drawn.width() - 10, 20));
            QVERIFY2(nearby > 15 && far < nearby / 3, qPrintable(QStringLiteral("%1 %2").arg(nearby).arg(far)));
            // The label on the other side, aligned towards the cover.
            const QRect label = s.inPicture(g.labelRect);
            const QRect text = boundsWhere(picture, isBright, label);
            QVERIFY(!text.isEmpty());
            QVERIFY(alignment == 1 ? text.left() - label.left() < 6 : label.right() - text.right() < 40);
        }
    }

    void coverOnlyShowsNoLabel()
    {
        RenderedView s(oneTrack(), withTheme(8, {{QStringLiteral("3Deffect"), 0.5}}));
        s.layOut(ThemeId::CoverOnly, artwork());
        QCOMPARE(s.stage->geometry().coverViewAnchor.y(), 1.4);
        QVERIFY(!s.stage->labelView()->superlayer() && !s.stage->progressIndicator()->superlayer());
        const QImage picture = s.snapshot(QStringLiteral("coveronly"));
        QVERIFY(boundsWhere(picture, isBright).isEmpty());
        QVERIFY(!boundsWhere(picture, isArtwork).isEmpty());
    }

    void clockStandsAtItsHour()
    {
        RenderedView s(oneTrack(), withTheme(0, {{QStringLiteral("showClock"), true}}), QSizeF(1200, 800));
        s.h.host.fullScreen = true;
        s.h.clock = FrameClock(QDateTime(QDate(2026, 12, 6), QTime(15, 30), Qt::UTC));
        s.stage->placeClock(FrameCycle::positionOfClock(QSizeF(1200, 800), s.h.clock.now().time()));
        QCOMPARE(s.stage->tree().root().sublayers().last(), s.stage->clockField()); // on top
        const QRectF digits = boundsWhere(s.snapshot(QStringLiteral("clock-1530")), isBright);
        // 105°: right of centre, a little below the middle.
        const double angle = std::atan2(digits.center().x() - 600, 400 - digits.center().y()) * 180 / M_PI;
        QVERIFY2(digits.center().x() > 900 && std::abs(angle - 105) < 12, qPrintable(QString::number(angle)));
    }

    void coverNotificationCarriesTheDisplayedImage()
    {
        RenderedView s(oneTrack(), withTheme(0));
        QList<QVariantMap> posted;
        s.h.distributed.addObserver(this, QStringLiteral("CoverlumeAlbumCoverChanged"),
                                    [&](const Notification &n) { posted << n.userInfo; });
        const int S = int(std::ceil(s.stage->imageSizePoints()));
        // Every layout posts, not only on a change; another picture of the
        // same size is not mistaken for the one already sized.
        const QColor green(40, 180, 60);
        for (const QColor &colour : {kArtwork, kArtwork, green}) {
            const qsizetype before = posted.size();
            s.layOut(ThemeId::Classic, artwork(colour, 1500));
            QCOMPARE(posted.size(), before); // not from the layout frame
            QVERIFY(s.coverPosted());
            QCOMPARE(posted.size(), before + 1);
            const QImage cover = QImage::fromData(posted.last().value(QStringLiteral("cover")).toByteArray(), "TIFF");
            QCOMPARE(cover.size(), QSize(S, S));
            QVERIFY(near(cover.pixel(S / 2, S / 2), colour, 2));
        }
        QVERIFY(near(s.snapshot().pixel(s.inPicture(s.stage->geometry().coverViewRect).center()), green, 24));
        s.layOut(ThemeId::Classic, QImage()); // no artwork: nothing posted
        QVERIFY(s.coverPosted());
        QCOMPARE(posted.size(), 3);
        s.h.distributed.removeObserver(this);
    }

    // The cover's data stays within 4 MiB: a larger picture goes scaled down,
    // its shape and colours kept.
    void coverDataIsCappedAtFourMebibytes_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("sent");
        QTest::newRow("fits") << QSize(700, 500) << QSize(700, 500);
        QTest::newRow("9 MB, scaled down") << QSize(2400, 1000) << QSize(0, 0);
    }
    void coverDataIsCappedAtFourMebibytes()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, sent);
        const QByteArray data = StageImages::cappedTiffData(solid(QColor(200, 90, 30), picture));
        QVERIFY(!data.isEmpty() && data.size() <= 4 * 1024 * 1024);
        const QImage decoded = QImage::fromData(data, "TIFF");
        if (!sent.isEmpty())
            QCOMPARE(decoded.size(), sent);
        else
            QVERIFY(decoded.width() < picture.width() && decoded.sizeInBytes() > 3 * 1024 * 1024 // not shrunk for nothing
                    && std::abs(decoded.width() / double(decoded.height()) - 2.4) < 0.01);
        QVERIFY(near(decoded.pixel(decoded.width() / 2, decoded.height() / 2), QColor(200, 90, 30), 2));
    }

    void turnFactorIsClampedAndPlacementStaysInTheView()
    {
        RenderedView s(oneTrack(), withTheme(0, {{QStringLiteral("3Deffect"), 6.0}}), QSizeF(1000, 600));
        QCOMPARE(s.stage->effect(), 1.0f);
        // F shrinks by a fifth at most.
        QVERIFY(std::abs(s.stage->fontSizePoints() - float(600 / 35.0 * 1.2 * 0.8)) < 0.01);
        ::srandom(7);
        for (int i = 0; i < 20; ++i) {
            s.layOut(ThemeId::Classic, artwork());
            const StageGeometry &g = s.stage->geometry();
            QVERIFY(g.labelRect.height() > 0);
            QVERIFY(g.randomPoint.x() >= 0 && g.randomPoint.x() <= 1000 - g.imagesize);
            QVERIFY(g.randomPoint.y() >= 0 && g.randomPoint.y() <= 600 - g.imagesize);
            QCOMPARE(g.alignment, g.randomPoint.x() + 0.5 * g.imagesize <= 500 ? 1 : 0);
        }
        s.stage->layout(ThemeId::Classic, NowShowing()); // without a source the label is empty
        QVERIFY(opaqueBounds(s.stage->labelView()->contents()).isEmpty());
    }

    void resizeRebuildsTheViewsAndLaysOutAnew()
    {
        ViewHarness fake;
        CoverlumeView &view = fake.makeView();
        fake.stage->calls.clear();
        view.setFrameSize(QSizeF(1920, 1080));
        QCOMPARE(fake.stage->calls, (QStringList{"removeSubViews", "setUpViews", "addSubViews", "relativeSizes"}));
        QCOMPARE(view.cycle().framesCount, view.cycle().CYCLE - 1);
        // The same size, or none at all (a minimised window), rebuilds nothing.
        fake.stage->calls.clear();
        for (const QSizeF &size : {QSizeF(1920, 1080), QSizeF(0, 0), QSizeF(800, -1)})
            view.setFrameSize(size);
        QVERIFY(fake.stage->calls.isEmpty());

        RenderedView w(oneTrack(600, artworkFile()), withTheme(0));
        w.start();
        w.frames(40);
        const float before = w.stage->imageSizePoints();
        w.h.view->setFrameSize(QSizeF(1920, 1080));
        QCOMPARE(w.stage->tree().root().frame(), QRectF(0, 0, 1920, 1080));
        QVERIFY(qFuzzyCompare(w.stage->imageSizePoints(), before * 1080.0f / 800.0f));
        w.picture = QImage(1920, 1080, QImage::Format_RGB32);
        w.h.view->renderDamage(w.picture, true);
        w.frames(2); // the cycle ends, then lays out afresh at the new size
        QCOMPARE(w.framesCount(), 0);
        w.frames(40);
        const QRectF cover = w.stage->coverView()->frame();
        QVERIFY(QRectF(0, 0, 1920, 1080).contains(cover));
        QVERIFY(near(w.picture.pixel(w.inPicture(cover).center()), kArtwork, 16));
    }

    void retainedPictureRedrawsWhatChangedAndShowsWhatTheSnapshotShows()
    {
        // theme, frames, the bar shown (it redraws every fourth frame)
        const QList<std::tuple<int, int, bool>> rows = {{0, 12, true}, {0, 81, false}, {5, 60, true}, {8, 20, true}};
        for (const auto &[theme, frames, bar] : rows) {
            RenderedView w(oneTrack(600, artworkFile()), withTheme(theme, {{QStringLiteral("showProgress"), bar}}),
                           QSizeF(960, 600));
            w.start();
            int fadeFrames = 0, holdFrames = 0;
            for (int i = 0; i < frames; ++i) {
                const QRegion damage = w.frame();
                const int f = w.framesCount();
                if (w.h.view->cycle().isFadeFrame(f) && f > 2) {
                    ++fadeFrames;
                    QVERIFY(!damage.isEmpty() && damage.boundingRect() != w.picture.rect());
                } else if (f > FrameCycle::holdStart && !bar) {
                    ++holdFrames;
                    QVERIFY2(damage.isEmpty(), qPrintable(QString::number(f)));
                }
            }
            QVERIFY(bar || (fadeFrames >= 20 && holdFrames >= 40));
            QVERIFY(bar || w.stage->compositor().lastStatistics().layersDrawn == 0);
            const QImage snapshot = w.snapshot(QStringLiteral("wiring-%1-%2").arg(theme).arg(frames));
            QVERIFY(boundsWhere(snapshot, [](QRgb p) { return qRed(p) > 100; }).isValid());
            QVERIFY(maxDifference(w.picture, snapshot) <= 2);
            // The snapshot drew the tree too; the window's next frame still matches.
            w.frame();
            QVERIFY(maxDifference(w.picture, w.snapshot()) <= 2);
        }
    }

    void barFollowsThePlayerBetweenLayouts()
    {
        // A 30-second track: ten seconds (200 frames) fill a third of the bar.
        RenderedView w(oneTrack(30, artworkFile()), withTheme(5, {{QStringLiteral("keepStatic"), true}}));
        w.start();
        w.frames(40);
        const QRect bar = w.inPicture(w.stage->geometry().progressRect);
        const double before = filledFraction(w.picture, bar);
        const double valueBefore = w.stage->progressIndicator()->doubleValue();
        int barRedraws = 0;
        for (int i = 0; i < 200; ++i)
            barRedraws += w.frame().intersects(bar);
        QVERIFY(std::abs(w.stage->progressIndicator()->doubleValue() - valueBefore - 10.0) < 0.5);
        const double after = filledFraction(w.picture, bar);
        QVERIFY2(std::abs(after - before - 1.0 / 3) < 0.05, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
        // Polled every 4th frame, but the player tells whole seconds: the
        // bar is drawn again when the second moves on, and only then.
        QVERIFY2(barRedraws >= 9 && barRedraws <= 11, qPrintable(QString::number(barRedraws)));
    }
};

QTEST_MAIN(TestRenderStage)
#include "tst_renderstage.moc"
