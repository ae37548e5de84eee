// The turned cover and its reflection: one plane at the layout and through
// the cycle, and fades that only blend what the layout projected.
#include "core/FrameCycle.h"
#include "render/Compositor.h"
#include "render/RenderStage.h"
#include "support/EngineHarness.h"
#include "support/Pixels.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Pixels;

namespace {

// A one-colour cover; its reflection is the same red, dimmed.
const QColor kRed(200, 40, 40);
const auto isCover = [](QRgb p) { return qRed(p) > 150 && qGreen(p) < 80; };
const auto isReflection = [](QRgb p) { return qRed(p) >= 24 && qRed(p) <= 140 && qGreen(p) < 60; };
constexpr int kBlack = 24; // a red channel below this is the black stage

QString redCover()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("red.png"));
    if (!QFile::exists(path))
        solid(kRed, QSize(300, 300), QImage::Format_RGB32).save(path);
    return path;
}

struct Seam
{
    int widestGap = -1;   // black rows between cover and reflection, worst column
    QRect cover, reflection;
};

// Per column of the cover: the black rows between its bottom edge and the
// reflection's top edge (the reflection must start within 40 rows).
Seam seamOf(const QImage &shot)
{
    Seam seam;
    seam.cover = boundsWhere(shot, isCover);
    if (seam.cover.isEmpty())
        return seam;
    seam.reflection = boundsWhere(shot, isReflection, QRect(0, seam.cover.bottom() + 2, shot.width(), shot.height()));
    for (int x = seam.cover.left() + 1; x < seam.cover.right(); ++x) {
        const int bottom = columnExtent(shot, x, isCover).second;
        int gap = 0;
        while (gap < 40 && bottom + 1 + gap < shot.height() && qRed(shot.pixel(x, bottom + 1 + gap)) < kBlack)
            ++gap;
        seam.widestGap = std::max(seam.widestGap, gap);
    }
    return seam;
}

void runTo(RenderedView &v, int frame)
{
    for (int i = 0; i < 2000 && v.framesCount() != frame; ++i)
        v.frame();
    QCOMPARE(v.framesCount(), frame);
}

} // namespace

class TestReflection : public QObject
{
    Q_OBJECT

private:
    static void addRows()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<double>("effect");
        QTest::addColumn<int>("alignment");
        for (const ThemeId theme : {ThemeId::Classic, ThemeId::CoverOnly})
            for (const double E : {0.0, 0.3, 1.0})
                for (const int alignment : {0, 1})
                    QTest::addRow("%s, E %g, cover %s", theme == ThemeId::Classic ? "Classic" : "Cover Only", E,
                                  alignment == 1 ? "left" : "right")
                        << int(theme) << E << alignment;
    }

    // A centred view of the red cover, laid out on the given side.
    static std::unique_ptr<RenderedView> started(int theme, double effect, int alignment)
    {
        auto v = std::make_unique<RenderedView>(oneTrack(600, redCover()),
                                                withTheme(theme, {{QStringLiteral("3Deffect"), effect},
                                                                  {QStringLiteral("centred"), true}}),
                                                QSizeF(960, 600));
        v->stage->layoutGeometry().alignment = 1 - alignment; // the layout flips it
        v->start();
        return v;
    }

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void theReflectionMeetsTheCover_data() { addRows(); }
    void theReflectionMeetsTheCover()
    {
        QFETCH(int, theme);
        QFETCH(double, effect);
        QFETCH(int, alignment);
        const auto v = started(theme, effect, alignment);
        // The layout, the re-pose, the hold and the fade-out.
        for (const int frame : {2, 3, 100, 590}) {
            runTo(*v, frame);
            QCOMPARE(v->stage->geometry().alignment, alignment);
            // Seen whole, whatever the fade: only the pose is looked at.
            v->stage->setLayerOpacity(ThemeStage::Layer::Cover, 1);
            v->stage->setLayerOpacity(ThemeStage::Layer::Reflection, 1);
            const QImage shot = v->snapshot(QStringLiteral("%1-%2").arg(QString::fromLatin1(QTest::currentDataTag())).arg(frame));
            const Seam seam = seamOf(shot);
            const QString where = QStringLiteral("frame %1: gap %2, cover %3…%4, reflection %5…%6")
                                      .arg(frame).arg(seam.widestGap).arg(seam.cover.left()).arg(seam.cover.right())
                                      .arg(seam.reflection.left()).arg(seam.reflection.right());
            QVERIFY2(seam.widestGap >= 0 && seam.widestGap <= 1, qPrintable(where));
            QVERIFY2(std::abs(seam.cover.left() - seam.reflection.left()) <= 1
                         && std::abs(seam.cover.right() - seam.reflection.right()) <= 1,
                     qPrintable(where));
        }
    }

    // The layout frame projects; the fade frames around the hold only blend
    // (the re-pose at frame 3 included). Classic's bar fades by drawing
    // itself again, a strip and no projection: at most one build a frame.
    void fadeFramesBuildNoProjection_data() { addRows(); }
    void fadeFramesBuildNoProjection()
    {
        QFETCH(int, theme);
        QFETCH(double, effect);
        QFETCH(int, alignment);
        const auto v = started(theme, effect, alignment);
        // Classic's bar is drawn again when its read-out or fill moves on
        // (about once a second), never for the fade itself.
        const int bar = theme == int(ThemeId::Classic) ? 1 : 0;
        int barDrawings = 0;
        runTo(*v, 1);
        QVERIFY(v->stage->compositor().lastStatistics().layersDrawn >= 2);
        const int L = v->h.view->cycle().CYCLE;
        QVERIFY(L > 2 * FrameCycle::holdStart);
        for (int frame = 2; frame < L; ++frame) {
            v->frame();
            const int builds = v->stage->compositor().lastStatistics().cacheBuilds;
            if (frame < FrameCycle::holdStart || frame >= L - FrameCycle::fadeFrames) {
                QVERIFY2(builds <= bar, qPrintable(QStringLiteral("frame %1: %2 builds").arg(frame).arg(builds)));
                barDrawings += builds;
            }
        }
        const int fadeSeconds = (FrameCycle::holdStart + FrameCycle::fadeFrames) / 20 + 1;
        QVERIFY2(barDrawings <= 2 * fadeSeconds, qPrintable(QString::number(barDrawings)));
    }
};

QTEST_MAIN(TestReflection)
#include "tst_reflection.moc"
