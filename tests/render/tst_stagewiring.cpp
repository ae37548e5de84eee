// The theme stage as the window drives it: frame after frame into a retained
// picture that only damage redraws, a resize of the view, and the progress
// bar following the player between layouts.
// Set COVERLUME_SAMPLE_DIR to keep the pictures for a look.

#include "RenderPixels.h"

#include "render/CLProgressIndicator.h"
#include "render/Compositor.h"
#include "render/Layer.h"
#include "render/LayerTree.h"
#include "render/RenderStage.h"
#include "support/EngineHarness.h"
#include "support/ViewHarness.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QColor kArtwork(200, 40, 40);

// A red cover the simulated player hands out, in a directory of the test's own.
QString artworkFile()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cover.png"));
    if (!QFile::exists(path))
        RenderPixels::solid(kArtwork, QSize(256, 256)).save(path);
    return path;
}

QByteArray track(int durationSeconds)
{
    return QStringLiteral(R"({"players": [{"name": "iTunes", "state": "playing", "tracks": [
        {"name": "Alpha", "artist": "Band A", "album": "Album A", "duration": %1, "artwork": ["%2"]}]}]})")
        .arg(durationSeconds)
        .arg(artworkFile())
        .toUtf8();
}

// A real view and engine drawn by a RenderStage into a retained picture, as
// the window does.
struct Wired
{
    EngineHarness h;
    RenderStage *stage = nullptr;
    QImage picture;

    Wired(const QSizeF &size, const QVariantMap &settings, int durationSeconds = 600)
        : h(track(durationSeconds), settings)
    {
        stage = h.makeRenderedView(size);
        h.view->startAnimation();
        h.view->setArtworkImage(QImage());
        newPicture();
    }

    // A picture at the view's size, drawn whole.
    void newPicture()
    {
        picture = QImage(h.view->frameSize().toSize(), QImage::Format_RGB32);
        h.view->renderDamage(picture, true);
    }
    // One frame: the frame step, then the picture's damage.
    QRegion frame()
    {
        h.clock.beginFrame();
        h.view->animateOneFrame();
        return h.view->renderDamage(picture, false);
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i)
            frame();
    }
    int f() const { return h.view->cycle().framesCount; }
    void keep(const QImage &image, const char *name) const
    {
        if (const QByteArray dir = qgetenv("COVERLUME_SAMPLE_DIR"); !dir.isEmpty())
            image.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png"));
    }
    // A rectangle of the view (y up) in the picture's rows (y down).
    QRect inPicture(const QRectF &rect) const
    {
        const double H = h.view->frameSize().height();
        return QRectF(rect.x(), H - rect.y() - rect.height(), rect.width(), rect.height()).toAlignedRect();
    }
};

// How far along the bar its bright fill reaches, 0 … 1.
double filledFraction(const QImage &picture, const QRect &bar)
{
    int lastBright = -1;
    for (int x = bar.left(); x <= bar.right(); ++x)
        for (int y = bar.top(); y <= bar.bottom(); ++y)
            if (qGray(picture.pixel(x, y)) > 180)
                lastBright = std::max(lastBright, x);
    return double(lastBright - bar.left()) / bar.width();
}

// The largest difference of any channel between two pictures of one size.
int largestDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

} // namespace

class TestStageWiring : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void resizeRebuildsTheViewsInOrder()
    {
        ViewHarness h;
        CoverlumeView &view = h.makeView();
        h.stage->calls.clear();
        view.setFrameSize(QSizeF(1920, 1080));
        QCOMPARE(h.stage->calls, (QStringList{QStringLiteral("removeSubViews"), QStringLiteral("setUpViews"),
                                             QStringLiteral("addSubViews"), QStringLiteral("relativeSizes")}));
        QCOMPARE(view.cycle().framesCount, view.cycle().CYCLE - 1);
        QCOMPARE(view.frameSize(), QSizeF(1920, 1080));

        // The same size, or none at all (a minimised window), rebuilds nothing.
        h.stage->calls.clear();
        view.setFrameSize(QSizeF(1920, 1080));
        view.setFrameSize(QSizeF(0, 0));
        view.setFrameSize(QSizeF(800, -1));
        QVERIFY(h.stage->calls.isEmpty());
        QCOMPARE(view.frameSize(), QSizeF(1920, 1080));
    }

    void resizeLaysOutAtTheNewSizeOnTheNextCycle()
    {
        Wired w(QSizeF(1280, 800), {{QStringLiteral("theme"), 0}});
        w.frames(40);
        const float before = w.stage->imageSizePoints();
        QVERIFY(before > 0);

        w.h.view->setFrameSize(QSizeF(1920, 1080));
        QCOMPARE(w.stage->tree().root().frame(), QRectF(0, 0, 1920, 1080));
        QVERIFY(qFuzzyCompare(w.stage->imageSizePoints(), before * 1080.0f / 800.0f));
        // Until the new cycle lays out, nothing of the old picture's layout shows.
        w.newPicture();
        w.frame();
        QVERIFY(w.f() == w.h.view->cycle().CYCLE);
        w.frame();
        QCOMPARE(w.f(), 0);
        w.frames(40);

        const QRectF cover = w.stage->coverView()->frame();
        QVERIFY(qFuzzyCompare(cover.width(), double(w.stage->imageSizePoints())));
        QVERIFY2(QRectF(0, 0, 1920, 1080).contains(cover), qPrintable(QStringLiteral("%1,%2 %3")
                     .arg(cover.x()).arg(cover.y()).arg(cover.width())));
        // The cover shows where the new layout put it, in the window's picture.
        const QRect shown = w.inPicture(cover).adjusted(40, 40, -40, -40);
        QVERIFY(!shown.isEmpty());
        QVERIFY(RenderPixels::near(w.picture.pixel(shown.center()), kArtwork, 16));
        w.keep(w.picture, "resized-1920x1080");
    }

    void holdFramesRedrawNothingAndFadesOnlyTheirLayers()
    {
        // No bar: the hold then changes nothing at all.
        Wired w(QSizeF(1280, 800), {{QStringLiteral("theme"), 0}, {QStringLiteral("showProgress"), false}});
        w.frame(); // the artwork handed over ends the first cycle
        int fadeFrames = 0, holdFrames = 0;
        for (int i = 0; i < 80; ++i) {
            const QRegion damage = w.frame();
            if (w.h.view->cycle().isFadeFrame(w.f()) && w.f() > 1) {
                ++fadeFrames;
                QVERIFY2(!damage.isEmpty(), qPrintable(QString::number(w.f())));
                QVERIFY(damage.boundingRect() != QRect(0, 0, 1280, 800) || w.f() <= 2);
            } else if (w.f() > FrameCycle::holdStart) {
                ++holdFrames;
                QVERIFY2(damage.isEmpty(), qPrintable(QString::number(w.f())));
            }
        }
        QVERIFY(fadeFrames >= 20);
        QVERIFY(holdFrames >= 40);
        QCOMPARE(w.stage->compositor().lastStatistics().layersDrawn, 0);
    }

    void retainedPictureShowsWhatTheSnapshotShows_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("frames");
        QTest::newRow("classic fading in") << 0 << 12;
        QTest::newRow("classic held") << 0 << 60;
        QTest::newRow("apple tv held") << 5 << 60;
        QTest::newRow("cover only fading in") << 8 << 20;
    }
    void retainedPictureShowsWhatTheSnapshotShows()
    {
        QFETCH(int, theme);
        QFETCH(int, frames);
        Wired w(QSizeF(960, 600), {{QStringLiteral("theme"), theme}});
        w.frames(frames);
        const QImage snapshot = w.h.view->snapshot(QSize(960, 600));
        w.keep(snapshot, qPrintable(QStringLiteral("wiring-%1-%2").arg(theme).arg(frames)));
        QVERIFY(RenderPixels::boundsWhere(snapshot, [](QRgb p) { return qRed(p) > 100; }).isValid());
        QVERIFY2(largestDifference(w.picture, snapshot) <= 2,
                 qPrintable(QString::number(largestDifference(w.picture, snapshot))));
        // The snapshot drew the tree too; the window's next frame still matches.
        w.frame();
        const QImage next = w.h.view->snapshot(QSize(960, 600));
        QVERIFY(largestDifference(w.picture, next) <= 2);
    }

    void barFollowsThePlayerBetweenLayouts()
    {
        // A 30-second track: ten seconds (200 frames) fill a third of the bar.
        Wired w(QSizeF(1280, 800), {{QStringLiteral("theme"), 5}, {QStringLiteral("keepStatic"), true}}, 30);
        w.frames(40);
        const QRect bar = w.inPicture(w.stage->geometry().progressRect);
        QVERIFY(!bar.isEmpty());
        const double before = filledFraction(w.picture, bar);
        const double valueBefore = w.stage->progressIndicator()->doubleValue();

        int barRedraws = 0;
        for (int i = 0; i < 200; ++i)
            if (w.frame().intersects(bar))
                ++barRedraws;
        const double after = filledFraction(w.picture, bar);
        w.keep(w.picture, "bar-after-200-frames");

        QVERIFY2(std::abs(w.stage->progressIndicator()->doubleValue() - valueBefore - 10.0) < 0.5,
                 qPrintable(QString::number(w.stage->progressIndicator()->doubleValue() - valueBefore)));
        QVERIFY2(std::abs(after - before - 1.0 / 3) < 0.05,
                 qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
        // Every 4th frame, and those only.
        QVERIFY2(barRedraws >= 45 && barRedraws <= 55, qPrintable(QString::number(barRedraws)));
    }
};

QTEST_MAIN(TestStageWiring)
#include "tst_stagewiring.moc"
