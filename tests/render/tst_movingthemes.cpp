// The themes that drift a large cover under a boxed label (Full Screen, Ken
// Burns Blur) and the Blur theme's wash, on a real view drawn by the stage.
// Set COVERLUME_SAMPLE_DIR to keep the pictures for a look.

#include "core/FrameCycle.h"
#include "render/CLProgressIndicator.h"
#include "render/Compositor.h"
#include "render/Layer.h"
#include "render/RenderStage.h"
#include "render/layouts/FullScreenLayout.h"
#include "support/EngineHarness.h"
#include "support/Pixels.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace Pixels;

namespace {

const QColor kCover(40, 150, 90);

// A one-colour cover the simulated player hands out.
QString coverFile()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cover.png"));
    if (!QFile::exists(path))
        solid(kCover, QSize(300, 300)).save(path);
    return path;
}

void setClock(RenderedView &s, QTime time)
{
    s.h.clock = FrameClock(QDateTime(QDate(2026, 12, 6), time, Qt::UTC));
}

} // namespace

class TestMovingThemes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void blurWashSetsTheTextAndBar()
    {
        RenderedView s(oneTrack(), withTheme(7), QSizeF(1280, 800));
        const QRect corner(2, 2, 20, 20);
        // Over white: text in grey 0.15 on a white wash, the bar dark.
        s.layOut(ThemeId::AppleTV, solid(Qt::white, QSize(200, 200)));
        QVERIFY(!s.stage->darkBackground());
        QVERIFY(s.stage->progressIndicator()->darkMode());
        QImage picture = s.snapshot(QStringLiteral("blur-white"));
        QCOMPARE(countNear(picture.copy(corner), Qt::white, 1), corner.width() * corner.height());
        const QRect label = s.inPicture(s.stage->geometry().labelRect);
        QVERIFY(countNear(picture.copy(label), QColor(38, 38, 38), 3) > 50);
        // The same cover decoded afresh keeps its wash; another makes a new one.
        const qint64 washKey = s.stage->reflectionView()->contents().cacheKey();
        s.layOut(ThemeId::AppleTV, solid(Qt::white, QSize(200, 200)));
        QCOMPARE(s.stage->reflectionView()->contents().cacheKey(), washKey);
        s.layOut(ThemeId::AppleTV, solid(Qt::gray, QSize(200, 200)));
        QVERIFY(s.stage->reflectionView()->contents().cacheKey() != washKey);

        // No artwork: black behind light text, the bar light again.
        s.layOut(ThemeId::AppleTV, QImage());
        QVERIFY(s.stage->darkBackground());
        QVERIFY(!s.stage->progressIndicator()->darkMode());
        picture = s.snapshot(QStringLiteral("blur-none"));
        QCOMPARE(countNear(picture.copy(corner), Qt::black, 1), corner.width() * corner.height());
        QVERIFY(countWhere(picture.copy(s.inPicture(s.stage->geometry().labelRect)),
                           [](QRgb p) { return qGray(p) > 200; }) > 50);
    }

    // Centred Full Screen on 1600 × 900: the cover still at (350, 0), the
    // box in the right-hand corner, at the top from four to eight.
    void centredFullScreenBoxFollowsTheHour_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<bool>("top");
        QTest::newRow("17:00") << QTime(17, 0) << true;
        QTest::newRow("12:30: 12 is not reduced") << QTime(12, 30) << false;
        QTest::newRow("05:30") << QTime(5, 30) << true;
        QTest::newRow("03:59") << QTime(3, 59) << false;
        QTest::newRow("20:00") << QTime(20, 0) << false;
    }
    void centredFullScreenBoxFollowsTheHour()
    {
        QFETCH(QTime, time);
        QFETCH(bool, top);
        RenderedView s(oneTrack(), withTheme(3, {{QStringLiteral("centred"), true}, {QStringLiteral("3Deffect"), 0.0}}),
                       QSizeF(1600, 900));
        setClock(s, time);
        s.layOut(ThemeId::FullScreen, solid(kCover, QSize(400, 400)));
        s.stage->setCoverHidden(false); // as at frame 3
        const StageGeometry &g = s.stage->geometry();
        QCOMPARE(g.randomPoint, QPointF(350, 0));
        QCOMPARE(QPointF(g.kenBurnsX, g.kenBurnsY), QPointF());
        QCOMPARE(g.labelRect.right(), 1600.0);
        QCOMPARE(g.labelRect.y(), top ? 900 - g.labelRect.height() : 0.0);
        const QImage picture = s.snapshot(QStringLiteral("fullscreen-centred"));
        QVERIFY(near(picture.pixel(360, 450), kCover, 8) && near(picture.pixel(1240, 450), kCover, 8));
        QVERIFY(near(picture.pixel(340, 450), Qt::black, 2) && near(picture.pixel(1260, 450), Qt::black, 2));

        // A title from a player or the network never makes a box beyond the view.
        NowShowing showing = s.h.engine().refresh(ThemeId::FullScreen);
        showing.track = AttributedString(QString(4000, QLatin1Char('W')) + QString(300, QLatin1Char('\n')));
        s.layOut(ThemeId::FullScreen, showing);
        QVERIFY(g.labelRect.width() <= 1600 && g.labelRect.height() <= 900);
        QVERIFY(s.stage->labelView()->contents().width() <= 1600);
    }

    // Every start and drift keeps the view covered to the end of the cycle,
    // or, where no draw can, the cover stands still.
    void placementKeepsTheViewCovered_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<bool>("centred");
        QTest::addColumn<double>("divisor");
        QTest::newRow("Full Screen 1440x900") << 3 << QSizeF(1440, 900) << false << 1000.0;
        QTest::newRow("Full Screen portrait") << 3 << QSizeF(800, 1280) << false << 1000.0;
        QTest::newRow("Ken Burns Blur 1440x900") << 9 << QSizeF(1440, 900) << false << 250.0;
        QTest::newRow("Ken Burns Blur centred 3840x1080") << 9 << QSizeF(3840, 1080) << true << 250.0;
    }
    void placementKeepsTheViewCovered()
    {
        QFETCH(int, theme);
        QFETCH(QSizeF, size);
        QFETCH(bool, centred);
        QFETCH(double, divisor);
        RenderedView s(oneTrack(), withTheme(theme, {{QStringLiteral("centred"), centred}}), size);
        const double W = size.width(), H = size.height(), S = s.stage->imageSizePoints();
        const bool roomy = S >= W && S >= H;
        QSet<int> sides;
        for (int i = 0; i < 20; ++i) {
            s.layOut(ThemeId(theme), solid(kCover, QSize(64, 64)));
            const StageGeometry &g = s.stage->geometry();
            const QPointF p = g.randomPoint;
            sides << g.alignment;
            QVERIFY(std::abs(g.kenBurnsX) <= W / divisor + 1e-3 && std::abs(g.kenBurnsY) <= H / divisor + 1e-3);
            if (!roomy) {
                QCOMPARE(QPointF(g.kenBurnsX, g.kenBurnsY), QPointF());
                continue;
            }
            QVERIFY(p.x() <= 0 && p.y() <= 0 && p.x() + S >= W && p.y() + S >= H);
            const QPointF end = p + 400 * QPointF(g.kenBurnsX, g.kenBurnsY);
            QVERIFY2(end.x() <= 1e-3 && end.y() <= 1e-3 && end.x() + S >= W - 1e-3 && end.y() + S >= H - 1e-3,
                     qPrintable(QStringLiteral("%1,%2").arg(end.x()).arg(end.y())));
            QVERIFY(!FullScreenLayout::kenBurnsWillTakeUsOffTheEdge(QRectF(p, QSizeF(S, S)), g.kenBurnsX,
                                                                   g.kenBurnsY, size));
            // The label's corner is the start's side: right when on the left.
            QCOMPARE(g.labelRect.x() > 0, g.alignment == 1);
        }
        QVERIFY(!roomy || sides.size() == 2);
    }

    // A whole cycle at E = 0: one-colour cover, every hold frame filled with
    // it; the cover's projection is made by frame 3 and serves the drift.
    void driftFillsTheViewFromOneProjection_data()
    {
        QTest::addColumn<int>("theme");
        QTest::newRow("Full Screen") << 3;
        QTest::newRow("Ken Burns Blur") << 9;
    }
    void driftFillsTheViewFromOneProjection()
    {
        QFETCH(int, theme);
        const QSizeF size(1280, 800);
        RenderedView s(oneTrack(600, coverFile()),
                       withTheme(theme, {{QStringLiteral("3Deffect"), 0.0}, {QStringLiteral("cycle"), 120}}), size);
        QList<QVariantMap> posted;
        s.h.distributed.addObserver(this, QStringLiteral("CoverlumeAlbumCoverChanged"),
                                    [&](const Notification &n) { posted << n.userInfo; });
        s.start();
        const int L = s.h.view->cycle().CYCLE;
        int holdFrames = 0, buildsInHold = 0;
        for (int i = 0; i < L + 2; ++i) {
            s.frame();
            const int f = s.framesCount();
            if (f < FrameCycle::driftStart || f > L - 26)
                continue;
            buildsInHold += s.stage->compositor().lastStatistics().cacheBuilds;
            if (f < FrameCycle::holdStart)
                continue; // the cover still fading in
            ++holdFrames;
            // Away from the box (bottom right at 20:00, or bottom left).
            for (const QPoint at : {QPoint(3, 3), QPoint(1276, 3), QPoint(640, 400), QPoint(3, 400), QPoint(1276, 400)})
                QVERIFY2(near(s.picture.pixel(at), kCover, 6),
                         qPrintable(QStringLiteral("frame %1 at %2,%3").arg(f).arg(at.x()).arg(at.y())));
        }
        s.snapshot(QStringLiteral("moving-%1").arg(theme));
        QVERIFY(holdFrames >= L - 52);
        QCOMPARE(buildsInHold, 0);
        QVERIFY(QPointF(s.stage->geometry().kenBurnsX, s.stage->geometry().kenBurnsY) != QPointF());

        // Never an S × S copy: the decoded cover, or the view-sized wash
        // (posted at most 1,024 pixels wide).
        const QSize contents = s.stage->coverView()->contents().size();
        QCOMPARE(contents, theme == 3 ? QSize(300, 300) : size.toSize());
        QVERIFY(s.coverPosted());
        QVERIFY(!posted.isEmpty());
        const QImage sent = QImage::fromData(posted.last().value(QStringLiteral("cover")).toByteArray(), "TIFF");
        QCOMPARE(sent.size(), theme == 3 ? QSize(300, 300) : QSize(1024, 640));
        QVERIFY(near(sent.pixel(sent.width() / 2, sent.height() / 2), kCover, 3));
        s.h.distributed.removeObserver(this);
    }
};

QTEST_MAIN(TestMovingThemes)
#include "tst_movingthemes.moc"
